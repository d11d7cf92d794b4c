// Set IP end to end: the dialog on real sockets in the lab's workstation namespace, the device
// simulator in a namespace whose addresses lie outside the workstation's subnets, so that only
// broadcasts reach it.
#include "common/ProcessValues.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"
#include "support/Fakes.h"
#include "support/NetLab.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::NetLab;
using test::waitUntil;

constexpr const char* kDevices = R"({"devices": [
  {"mac": "00:0A:1B:00:00:01", "ip": "192.0.2.50/24", "setip": "accept"},
  {"mac": "00:0A:1B:00:00:02", "ip": "192.0.2.51/24", "setip": "refuse"}]})";
constexpr const char* kAccepts = "00:0A:1B:00:00:01";
constexpr const char* kRefuses = "00:0A:1B:00:00:02";

class SetIpNet : public ::testing::Test {
protected:
    void SetUp() override {
        lab.addHost("dev", "a", "192.0.2.50/24");
        QFile config(lab.dir() + "/devices.json");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && config.write(kDevices) > 0);
        config.close();
        lab.spawn("dev", {NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--config", config.fileName(),
                          "--log", log});
        ASSERT_TRUE(waitUntil([&] { return !events("ready").empty(); }, 15000)) << "simulator did not start";
        lab.enterWorkstation();
        values.adapterTable = adapters.enumerateAdapters().table;
        ASSERT_FALSE(values.adapterTable.empty());
        values.localAdapterIp = "10.77.1.1";
    }

    // The simulator's log lines of one event, for one device (or all).
    std::vector<QJsonObject> events(const char* event, const char* device = nullptr,
                                    const char* kind = nullptr) const {
        std::vector<QJsonObject> out;
        QFile f(log);
        f.open(QIODevice::ReadOnly);
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o["event"] == event && (!device || o["device"] == device) && (!kind || o["kind"] == kind)) {
                out.push_back(o);
            }
        }
        return out;
    }

    // One opening of the dialog for a device, as the main window runs it: OK with the static values
    // given, or with DHCP; returns once `done` holds.
    void setIp(const char* device, const char* address, const std::function<bool()>& done) {
        values.selectedDeviceMac = parseMacByPosition(device).value();
        Setips d(platform, values, exchange);
        d.show();
        d.findChild<QRadioButton*>(address ? "Option1" : "Option2")->click();
        if (address) {
            d.findChild<ZavikIPAddress*>("ZavikIPAddress1")->setIpAddress(address);
        }
        d.findChild<QPushButton*>("Command2")->click();
        EXPECT_TRUE(waitUntil(done, 5000));
    }
    bool shown(std::size_t n) const { return messages.messages.shown.size() >= n; }

    QString deviceAddresses() {
        QByteArray out;
        lab.run("dev", {"ip", "-4", "-o", "addr", "show", "dev", "eth0"}, &out);
        return QString::fromUtf8(out);
    }

    NetLab lab;
    QString log = lab.dir() + "/devsim.jsonl";
    LinuxAdapterSource adapters;
    test::FakePlatform messages; // message boxes and the rest; the sockets are real
    Platform platform{messages.messages, messages.shell, adapters, messages.files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    SetIpExchange exchange;
};

TEST_F(SetIpNet, DeviceOnAForeignSubnetTakesAFixedAddress) {
    setIp(kAccepts, "10.77.1.77", [&] { return shown(1) && !events("setip-ack", kAccepts).empty(); });
    EXPECT_EQ(messages.messages.shown.at(0).text, "Set IP OK");

    // Mask and gateway are the adapter's (10.77.1.1/24 via 10.77.1.254); the requester is eth0.
    const QString request = "8765432120100001"
                            "000a1b000001"
                            "02fe00000101"
                            "0a4d014d"
                            "ffffff00"
                            "0a4d01fe";
    const auto rx = events("rx", kAccepts, "setip");
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0]["hex"], request);
    EXPECT_EQ(rx[0]["from"], "10.77.1.1:4001");
    const auto acks = events("setip-ack", kAccepts);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0]["hex"], QString(request).replace(8, 4, "a099"));
    EXPECT_TRUE(events("setip-applied", kRefuses).empty());

    // The device really moved: its namespace holds the new address and no longer the old one.
    EXPECT_TRUE(deviceAddresses().contains("10.77.1.77/24"));
    EXPECT_FALSE(deviceAddresses().contains("192.0.2.50/"));
}

TEST_F(SetIpNet, RefusalsAndDhcp) {
    setIp(kRefuses, "10.77.1.78", [&] { return shown(1); });
    setIp(kAccepts, nullptr, [&] { return shown(2) && !events("setip-ack", kAccepts).empty(); });
    setIp(kRefuses, nullptr, [&] { return shown(3); });
    QTest::qWait(300); // time for a wrong acknowledgement to arrive
    ASSERT_EQ(messages.messages.shown.size(), 3u);
    EXPECT_EQ(messages.messages.shown[0].text, "Set IP Failure");
    EXPECT_EQ(messages.messages.shown[1].text, "Set DHCP OK");
    EXPECT_EQ(messages.messages.shown[2].text, "Set DHCP Failure");
    EXPECT_TRUE(events("setip-ack", kRefuses).empty());
    EXPECT_TRUE(deviceAddresses().contains("192.0.2.51/24"));
    const auto applied = events("setip-applied", kAccepts);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0]["mode"], "dhcp");
}

} // namespace
} // namespace fw
