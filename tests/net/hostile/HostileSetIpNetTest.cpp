// Set IP while a third host on the segment broadcasts forged answers: older sequence numbers, the
// current number behind a wrong magic, one byte short, or with a result other than 0 and 1. Only
// the device's answer to the latest request may show a message and draw the acknowledgement.
#include "common/ProcessValues.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"

#include "net/discovery/SimulatorLog.h"
#include "support/Fakes.h"
#include "support/NetLab.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::NetLab;
using test::simulatorEvents;
using test::waitUntil;

// Broadcasts and unicasts forged answers naming the device, many copies of each kind, for 2 s.
constexpr const char* kForger = R"(
import socket, sys, time
mac = bytes.fromhex('000a1b000001')
def answer(seq, result=0, magic=b'\x87\x65\x43\x21', size=32):
    d = bytearray(magic + b'\x21\x10' + seq.to_bytes(2, 'big') + mac + bytes(6) + bytes(12))
    d[21] = result
    return bytes(d[:size]) if size <= 32 else bytes(d) + bytes(size - 32)
current = int(sys.argv[1])
forged = [answer(current - 1), answer(current - 1, 1), answer(0), answer(current + 1),
          answer(current, magic=b'\x87\x65\x43\x20'), answer(current, size=23),
          answer(current, result=2), answer(current, result=255)]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, b'eth0')  # no route for 255.255.255.255
end = time.monotonic() + 2
n = 0
while time.monotonic() < end:
    for d in forged:
        s.sendto(d, ('255.255.255.255', 4001))
        s.sendto(d, ('10.77.1.1', 4001))
        n += 2
    time.sleep(0.005)
print(n)
)";

TEST(HostileSetIpNet, ForgedAndStaleAnswersChangeNothing) {
    NetLab lab;
    lab.addHost("dev", "a", "10.77.1.50/24");
    lab.addHost("x", "a", "10.77.1.99/24");
    const QString log = lab.dir() + "/dev.jsonl";
    // The device answers 1.5 s late, so the forged answers come first and last.
    lab.spawn("dev", {NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--device",
                      "mac=00:0A:1B:00:00:01,ip=10.77.1.50/24,setip=accept,delay_ms=1500", "--log", log});
    ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, 15000));
    lab.enterWorkstation();

    LinuxAdapterSource adapters;
    test::FakePlatform fakes;
    Platform platform{fakes.messages, fakes.shell, adapters, fakes.files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    values.adapterTable = adapters.enumerateAdapters().table;
    ASSERT_FALSE(values.adapterTable.empty());
    values.localAdapterIp = "10.77.1.1";
    values.selectedDeviceMac = parseMacByPosition("00:0A:1B:00:00:01").value();
    SetIpExchange exchange;
    Setips dialog(platform, values, exchange);
    dialog.show();
    dialog.findChild<QRadioButton*>("Option1")->click();
    dialog.findChild<ZavikIPAddress*>("ZavikIPAddress1")->setIpAddress("10.77.1.77");
    auto* ok = dialog.findChild<QPushButton*>("Command2");
    ok->click(); // request 1: its answer will be stale
    ok->click(); // request 2, the latest
    ASSERT_EQ(exchange.sequence(), 2);
    QProcess* forger = lab.spawn("x", {"python3", "-c", kForger, QString::number(exchange.sequence())});

    const auto acks = [&] {
        return simulatorEvents(log, "setip-ack");
    };
    EXPECT_TRUE(waitUntil([&] { return !fakes.messages.shown.empty() && !acks().empty(); }, 6000));
    EXPECT_TRUE(waitUntil([&] { return forger->state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(forger->exitCode(), 0);
    QTest::qWait(500);

    // Two device answers (to 1 and 2) and a few thousand forgeries: one message, one acknowledgement.
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Set IP OK");
    ASSERT_EQ(acks().size(), 1u);
    EXPECT_EQ(acks()[0]["sequence"].toInt(), 2);
    EXPECT_TRUE(acks()[0]["matches_request"].toBool());
}

} // namespace
} // namespace fw
