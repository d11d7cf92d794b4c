// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpDialog.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace fw {
namespace {

// The view and the port as one recorder: what the dialog did, in order.
class Recorder final : public SetIpDialog::View, public SetIpPort {
public:
    void setEntriesEnabled(bool enabled) override { calls.push_back(enabled ? "enable" : "disable"); }
    void setEntry(SetIpDialog::Entry entry, const std::string& address) override {
        entries[static_cast<std::size_t>(entry)] = address;
    }
    std::string entry(SetIpDialog::Entry entry) const override {
        return entries[static_cast<std::size_t>(entry)];
    }
    void checkOption(SetIpDialog::Option) override {}
    void showMessage(const Message& message) override { calls.push_back("box " + message.text); }
    void closeWindow() override { calls.push_back("close window"); }

    void open(const AdapterTable& adapters, std::optional<Ipv4> local, int index, const MacAddress& device,
              Listener& l) override {
        listener = &l;
        calls.push_back("open " + std::to_string(index) + " of " + std::to_string(adapters.size()) + " " +
                        toText(local) + " " + formatMac(device));
    }
    void useNumber() override { calls.push_back("number"); }
    void sendFixed(const FixedAddress& fixed) override {
        calls.push_back("fixed " + fixed.address.toString());
    }
    void sendDhcp() override { calls.push_back("dhcp"); }
    void acknowledge(const Acknowledgement&) override { calls.push_back("ack"); }
    void close() override { calls.push_back("close port"); }

    std::vector<std::string> calls;
    std::array<std::string, 3> entries{"0.0.0.0", "0.0.0.0", "0.0.0.0"};
    Listener* listener = nullptr;
};

AdapterEntry adapter(const char* ip) {
    AdapterEntry e;
    e.ip = Ipv4::parse(ip);
    e.mask = Ipv4::parse("255.255.255.0");
    e.gateway = Ipv4::parse("10.0.1.254");
    e.interfaceName = ip;
    return e;
}

// It acts on the device and adapter picked when it opened, whatever is listed after; once closed,
// a late answer shows nothing and is not acknowledged.
TEST(SetIpDialog, ChoosesTheAdapterProposesOnlyWhenComingBackAndAnswersOnlyWhileOpen) {
    Recorder r;
    ProcessValues values;
    values.adapterTable = {adapter("10.0.0.1"), adapter("10.0.1.9")};
    values.localAdapterIp = Ipv4::parse("10.0.1.9");
    values.selectedDeviceMac = {0, 0x0A, 0x1B, 0, 0, 1};
    SetIpDialog dialog(r, r, values);
    values.localAdapterIp = Ipv4::parse("10.0.0.1"); // a row listed meanwhile
    values.selectedDeviceMac = {0, 0x0A, 0x1B, 0, 0, 2};
    dialog.start();
    EXPECT_EQ(values.setIpAdapterIndex, 1); // handed back for the next opening
    dialog.optionChosen(SetIpDialog::Option::Static);
    EXPECT_EQ(r.entries, (std::array<std::string, 3>{"10.0.1.10", "255.255.255.0", "10.0.1.254"}));
    r.entries[0] = "10.0.1.77";
    dialog.optionChosen(SetIpDialog::Option::Static); // a second click on the same option
    dialog.okPressed();
    const SetIpPort::Answer done{{SetIpResult::Done, SetIpMode::Fixed}, SetIpPort::Acknowledgement{}};
    r.listener->answered(done);
    dialog.exitPressed();
    dialog.closed();
    r.listener->answered(done); // late
    dialog.okPressed();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"open 1 of 2 10.0.1.9 00-0A-1B-00-00-01", "disable",
                                                 "disable", "enable", "fixed 10.0.1.77", "box Set IP OK",
                                                 "ack", "close window", "close port"}));
}

// The dialog names the device it was opened for; a nameless one by its address and MAC.
TEST(SetIpDialog, NamesTheDeviceItActsOn) {
    Recorder r;
    ProcessValues values;
    values.pickedDevice = {"", Ipv4{{10, 77, 1, 10}}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const SetIpDialog dialog(r, r, values);
    EXPECT_EQ(dialog.deviceLine(), "10.77.1.10 \u00b7 00-11-22-33-44-55");
}

} // namespace
} // namespace fw
