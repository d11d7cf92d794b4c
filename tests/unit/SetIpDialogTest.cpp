// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpDialog.h"

#include "support/CoreFakes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace fw {
namespace {

// What the dialog did to its view, in order; then what it asked of its job.
class Recorder final : public SetIpDialog::View {
public:
    void setEntriesEnabled(bool enabled) override { calls.push_back(enabled ? "enable" : "disable"); }
    void setEntry(SetIpDialog::Entry entry, const std::string& address) override {
        entries[static_cast<std::size_t>(entry)] = address;
    }
    std::string entry(SetIpDialog::Entry entry) const override {
        return entries[static_cast<std::size_t>(entry)];
    }
    void checkOption(SetIpDialog::Option) override {}
    void showMessage(const Message& message) override { // the commands sent so far: no ack before it closes
        calls.push_back("box " + message.text + " after " + std::to_string(job.commands.size()));
    }
    void closeWindow() override { calls.push_back("close window"); }

    std::vector<std::string> asked() const {
        std::vector<std::string> a;
        for (const auto& r : job.requests) {
            a.push_back("open " + std::to_string(r.index) + " of " + std::to_string(r.adapters.size()) + " " +
                        formatMac(r.device) + (r.once ? " once" : ""));
        }
        for (const auto& c : job.commands) {
            const auto* send = std::get_if<SetIpJob::Send>(&c);
            a.push_back(send == nullptr ? (std::holds_alternative<SetIpJob::UseNumber>(c) ? "number" : "ack")
                        : send->fixed   ? "fixed " + send->fixed->address.toString()
                                        : "dhcp");
        }
        a.push_back("cancelled " + std::to_string(job.cancels));
        return a;
    }

    std::vector<std::string> calls;
    std::array<std::string, 3> entries{"0.0.0.0", "0.0.0.0", "0.0.0.0"};
    test::FakeJob<SetIpJob> job;
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
    SetIpDialog::Opening opening;
    opening.adapters = {adapter("10.0.0.1"), adapter("10.0.1.9")};
    opening.localAdapterIp = Ipv4::parse("10.0.1.9");
    opening.device.mac = {0, 0x0A, 0x1B, 0, 0, 1};
    SetIpDialog dialog(r, r.job, opening);
    opening.localAdapterIp = Ipv4::parse("10.0.0.1"); // a row listed meanwhile
    opening.device.mac = {0, 0x0A, 0x1B, 0, 0, 2};
    dialog.start();
    EXPECT_EQ(dialog.adapterIndex(), 1); // handed back for the next opening
    dialog.optionChosen(SetIpDialog::Option::Static);
    EXPECT_EQ(r.entries, (std::array<std::string, 3>{"10.0.1.10", "255.255.255.0", "10.0.1.254"}));
    r.entries[0] = "10.0.1.77";
    dialog.optionChosen(SetIpDialog::Option::Static); // a second click on the same option
    dialog.okPressed();
    const SetIpJob::Answer done{{SetIpResult::Done, SetIpMode::Fixed}, SetIpJob::Acknowledgement{}};
    r.job.handlers.events({done});
    dialog.exitPressed();
    dialog.closed();
    r.job.handlers.events({done}); // late
    dialog.okPressed();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"disable", "disable", "enable", "box Set IP OK after 1",
                                                 "close window"}));
    EXPECT_EQ(r.asked(), (std::vector<std::string>{"open 1 of 2 00-0A-1B-00-00-01", "fixed 10.0.1.77", "ack",
                                                   "cancelled 1"}));
}

// The dialog names the device it was opened for; a nameless one by its address and MAC.
TEST(SetIpDialog, NamesTheDeviceItActsOn) {
    Recorder r;
    const SetIpDialog dialog(
        r, r.job, {{"", Ipv4{{10, 77, 1, 10}}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}}, {}, {}, {}, 0});
    EXPECT_EQ(dialog.deviceLine(), "10.77.1.10 \u00b7 00-11-22-33-44-55");
}

} // namespace
} // namespace fw
