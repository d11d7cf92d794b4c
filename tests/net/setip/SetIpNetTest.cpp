// Set IP end to end: the dialog on real sockets in the lab's workstation namespace, the device
// simulator in a device namespace whose addresses lie outside the workstation's subnets, so that
// only broadcasts reach it.
#include "common/ProcessValues.h"
#include "discovery/core/DiscoveryRecords.h"
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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace fw {
namespace {

using test::NetLab;
using test::waitUntil;

constexpr MacAddress kAccepting{0x00, 0x0A, 0x1B, 0x00, 0x00, 0x01};
constexpr MacAddress kRefusing{0x00, 0x0A, 0x1B, 0x00, 0x00, 0x02};
constexpr MacAddress kSilent{0x00, 0x0A, 0x1B, 0x00, 0x00, 0x03};
constexpr MacAddress kWorkstationEth0{0x02, 0xfe, 0x00, 0x00, 0x01, 0x01};

constexpr const char* kDevices = R"({"devices": [
  {"mac": "00:0A:1B:00:00:01", "ip": "192.0.2.50/24", "setip": "accept"},
  {"mac": "00:0A:1B:00:00:02", "ip": "192.0.2.51/24", "setip": "refuse"},
  {"mac": "00:0A:1B:00:00:03", "ip": "192.0.2.52/24", "setip": "silent"}
]})";

std::string macText(const MacAddress& mac) {
    std::string s = formatMac(mac);
    std::replace(s.begin(), s.end(), '-', ':');
    return s;
}

QString hex(std::span<const std::uint8_t> bytes) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
            .toHex());
}

class SetIpNet : public ::testing::Test {
protected:
    void SetUp() override {
        lab = std::make_unique<NetLab>();
        lab->addHost("dev", "a", "192.0.2.50/24");
        QFile config(lab->dir() + "/devices.json");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(kDevices);
        config.close();
        logPath = lab->dir() + "/devsim.jsonl";
        lab->spawn("dev", {NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--config", config.fileName(),
                           "--log", logPath});
        ASSERT_TRUE(waitUntil([&] { return !events("ready").empty(); }, 15000)) << "simulator did not start";
        lab->enterWorkstation();

        const AdapterSelection adapters = adapterSource.enumerateAdapters();
        ASSERT_EQ(adapters.outcome, AdapterOutcome::Ok);
        values.adapterTable = adapters.table;
        values.localAdapterIp = "10.77.1.1";
    }
    void TearDown() override { lab.reset(); }

    // The simulator's log events of one kind, for one device (or all).
    std::vector<QJsonObject> events(const char* kind, const MacAddress* device = nullptr) const {
        std::vector<QJsonObject> out;
        QFile f(logPath);
        if (!f.open(QIODevice::ReadOnly)) {
            return out;
        }
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value("event").toString() == kind &&
                (device == nullptr ||
                 o.value("device").toString() == QString::fromStdString(macText(*device)))) {
                out.push_back(o);
            }
        }
        return out;
    }

    // The dialog as the main window runs it, for one device; act() presses what the operator does.
    void setIp(const MacAddress& device, const std::function<void(Setips&)>& act) {
        values.selectedDeviceMac = device;
        Setips dialog(platform, values, exchange);
        dialog.show();
        act(dialog);
        dialog.close();
    }
    static void fixed(Setips& d, const char* ip, const char* mask, const char* gateway) {
        d.findChild<QRadioButton*>("Option1")->click();
        d.findChild<ZavikIPAddress*>("ZavikIPAddress1")->setIpAddress(ip);
        d.findChild<ZavikIPAddress*>("ZavikIPAddress2")->setIpAddress(mask);
        d.findChild<ZavikIPAddress*>("ZavikIPAddress3")->setIpAddress(gateway);
        d.findChild<QPushButton*>("Command2")->click();
    }
    static void dhcp(Setips& d) {
        d.findChild<QRadioButton*>("Option2")->click();
        d.findChild<QPushButton*>("Command2")->click();
    }
    bool waitForMessages(std::size_t count) {
        return waitUntil([&] { return messages.messages.shown.size() >= count; }, 5000);
    }

    // One discovery exchange on eth0: the senders of the replies to it.
    std::vector<std::string> discover(std::int16_t sequence) {
        UdpEndpoint e;
        std::vector<std::string> senders;
        if (!e.bindToAdapter(values.adapterTable[0], kWorkstationPort)) {
            ADD_FAILURE() << e.lastError();
            return senders;
        }
        QObject::connect(&e, &DatagramEndpoint::datagramsReady, &e, [&] {
            while (auto d = e.read()) {
                if (acceptDiscoveryReply(d->bytes, sequence)) {
                    senders.push_back(d->senderIp.toString());
                }
            }
        });
        e.setRemote(Ipv4::broadcast(), kDevicePort);
        const auto request = buildDiscoveryRequest(sequence, values.adapterTable[0].mac);
        EXPECT_TRUE(e.send(request)) << e.lastError();
        waitUntil([&] { return senders.size() >= 3; }, 3000);
        return senders;
    }

    QString deviceAddresses() {
        QByteArray out;
        lab->run("dev", {"ip", "-4", "-o", "addr", "show", "dev", "eth0"}, &out);
        return QString::fromUtf8(out);
    }

    std::unique_ptr<NetLab> lab;
    QString logPath;
    LinuxAdapterSource adapterSource;
    test::FakePlatform messages; // message boxes and the rest; sockets are real
    Platform platform{messages.messages, messages.shell, adapterSource, messages.files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    SetIpExchange exchange;
};

TEST_F(SetIpNet, DeviceOnAForeignSubnetTakesAFixedAddress) {
    // Found only because it answers by broadcast: 192.0.2.0/24 is no subnet of ours.
    const auto before = discover(1);
    EXPECT_NE(std::find(before.begin(), before.end(), "192.0.2.50"), before.end());

    setIp(kAccepting, [&](Setips& d) {
        fixed(d, "10.77.1.77", "255.255.255.0", "10.77.1.254");
        ASSERT_TRUE(waitForMessages(1));
        // The acknowledgement follows once the message is closed.
        ASSERT_TRUE(waitUntil([&] { return !events("setip-ack", &kAccepting).empty(); }, 5000));
    });
    ASSERT_EQ(messages.messages.shown.size(), 1u);
    EXPECT_EQ(messages.messages.shown[0].text, "Set IP OK");

    SetIpRecord request{0x87, 0x65, 0x43, 0x21, 0x20, 0x10, 0x00, 0x01};
    std::copy(kAccepting.begin(), kAccepting.end(), request.begin() + 8);
    std::copy(kWorkstationEth0.begin(), kWorkstationEth0.end(), request.begin() + 14);
    const std::uint8_t values20[] = {10, 77, 1, 77, 255, 255, 255, 0, 10, 77, 1, 254};
    std::copy(std::begin(values20), std::end(values20), request.begin() + 20);
    std::vector<QJsonObject> received;
    for (const QJsonObject& rx : events("rx", &kAccepting)) {
        if (rx.value("kind").toString() == "setip") {
            received.push_back(rx);
        }
    }
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].value("hex").toString(), hex(request));
    EXPECT_EQ(received[0].value("from").toString(), "10.77.1.1:4001");
    EXPECT_EQ(received[0].value("to").toString(), "255.255.255.255:4000");

    const auto acks = events("setip-ack", &kAccepting);
    ASSERT_EQ(acks.size(), 1u);
    SetIpRecord ack = request;
    ack[4] = 0xA0;
    ack[5] = 0x99;
    EXPECT_EQ(acks[0].value("hex").toString(), hex(ack));
    EXPECT_TRUE(acks[0].value("matches_request").toBool());
    // The other devices heard the broadcasts and did nothing.
    EXPECT_TRUE(events("setip-applied", &kRefusing).empty());
    EXPECT_TRUE(events("setip-ack", &kRefusing).empty());

    // The device really moved: the kernel holds the new address and a search finds it there.
    const QString addresses = deviceAddresses();
    EXPECT_TRUE(addresses.contains("10.77.1.77/24")) << addresses.toStdString();
    EXPECT_FALSE(addresses.contains("192.0.2.50/")) << addresses.toStdString();
    const auto after = discover(2);
    EXPECT_NE(std::find(after.begin(), after.end(), "10.77.1.77"), after.end());
    EXPECT_EQ(std::find(after.begin(), after.end(), "192.0.2.50"), after.end());
}

TEST_F(SetIpNet, RefusingDeviceIsReportedAndKeepsItsAddress) {
    setIp(kRefusing, [&](Setips& d) {
        fixed(d, "10.77.1.78", "255.255.255.0", "10.77.1.254");
        ASSERT_TRUE(waitForMessages(1));
        QTest::qWait(300); // an acknowledgement would have gone out by now
    });
    ASSERT_EQ(messages.messages.shown.size(), 1u);
    EXPECT_EQ(messages.messages.shown[0].text, "Set IP Failure");
    EXPECT_TRUE(events("setip-ack", &kRefusing).empty());
    EXPECT_TRUE(deviceAddresses().contains("192.0.2.51/24"));
    EXPECT_FALSE(deviceAddresses().contains("10.77.1.78"));
}

TEST_F(SetIpNet, DhcpIsAcceptedOrRefused) {
    setIp(kAccepting, [&](Setips& d) {
        dhcp(d);
        ASSERT_TRUE(waitForMessages(1));
        ASSERT_TRUE(waitUntil([&] { return !events("setip-ack", &kAccepting).empty(); }, 5000));
    });
    EXPECT_EQ(messages.messages.shown.at(0).text, "Set DHCP OK");
    const auto applied = events("setip-applied", &kAccepting);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].value("mode").toString(), "dhcp");

    setIp(kRefusing, [&](Setips& d) {
        dhcp(d);
        ASSERT_TRUE(waitForMessages(2));
    });
    EXPECT_EQ(messages.messages.shown.at(1).text, "Set DHCP Failure");
    EXPECT_TRUE(events("setip-ack", &kRefusing).empty());
}

TEST_F(SetIpNet, SilenceShowsNothingAndAHeldPortIsSaid) {
    setIp(kSilent, [&](Setips& d) {
        dhcp(d);
        ASSERT_TRUE(waitUntil([&] { return !events("rx", &kSilent).empty(); }, 5000));
        QTest::qWait(500);
    });
    EXPECT_TRUE(messages.messages.shown.empty());

    // Another program on port 4001 (without SO_REUSEADDR) keeps the dialog from binding.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(4001);
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    setIp(kAccepting, [&](Setips& d) { dhcp(d); });
    ::close(holder);
    ASSERT_EQ(messages.messages.shown.size(), 1u);
    EXPECT_NE(messages.messages.shown[0].text.find("4001"), std::string::npos);
    EXPECT_NE(messages.messages.shown[0].text.find("Address already in use"), std::string::npos);
}

} // namespace
} // namespace fw
