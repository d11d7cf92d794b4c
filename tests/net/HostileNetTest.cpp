// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SearchRig.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace fw::test {
namespace {

// Datagrams that reached the workstation's UDP layer: read, or dropped for a full socket buffer
// (InDatagrams + RcvbufErrors of /proc/net/snmp inside its namespace).
long long udpArrivals(NetLab& lab) {
    return lab.runApart("ws", {"awk", "/^Udp:/ { if (n++) print $2 + $6 }", "/proc/net/snmp"})
        .out.trimmed()
        .toLongLong();
}

// A search on real sockets while a junk flood hits port 4001 during the Searching dialog's countdown.
TEST(HostileSearchNet, JunkFloodDuringTheCountdownLeavesTheWindowAnsweringAndTheDevicesListed) {
    NetLab lab;
    lab.addHost("d1", "a", "10.77.1.10/24");
    lab.addHost("d2", "b", "10.77.2.20/24");
    lab.addHost("fl", "a", "10.77.1.50/24");
    // The devices answer 0.8 s late, so their replies land in the middle of the flood.
    lab.startSimulator("d1", {"--device", "name=Lobby AP,mac=00:0A:1B:2C:3D:4E,essid=office,delay_ms=800"});
    lab.startSimulator("d2", {"--device", "name=Yard bridge,mac=00:0A:1B:00:00:02,kind=G,delay_ms=800"});

    const long long udpBefore = udpArrivals(lab);
    SearchRig ws(lab);
    ws.cycle.search();
    ASSERT_TRUE(ws.cycle.countdownRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ws.cycle.searchSequence().has_value(); }, 1000));

    QProcess* flood = lab.spawn("fl", {"python3", NetLab::sourcePath("tests/net/junk-flood.py"), "10.77.1.1",
                                       QString::number(*ws.cycle.searchSequence()), "20000"});
    bool floodEndedInCountdown = false;
    QObject::connect(flood, &QProcess::finished,
                     [&] { floodEndedInCountdown = ws.cycle.countdownRunning(); });
    // A 20 ms timer: the longest gap between its ticks shows how long the event loop stalled.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 worstGapMs = 0;
    int ticks = 0;
    QTimer probe;
    probe.callOnTimeout([&] { worstGapMs = std::max(worstGapMs, sinceTick.restart()), ++ticks; });
    probe.start(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ws.cycle.countdownRunning(); }, 10000))
        << "the countdown did not end";
    ASSERT_TRUE(flood->state() == QProcess::NotRunning || flood->waitForFinished(20000));
    EXPECT_TRUE(floodEndedInCountdown) << "the flood outlasted the countdown; it proves nothing";
    EXPECT_EQ(flood->exitCode(), 0);
    // Most of it reached the workstation; a loaded host's bridge backlog may drop a few percent.
    EXPECT_GE(udpArrivals(lab) - udpBefore, 18000);
    EXPECT_GT(ticks, 100); // 3 s at one tick per 20 ms
    EXPECT_LT(worstGapMs, 220) << "the event loop stalled during the flood";
    const auto rows = ws.rowsByIp();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ip, Ipv4::parse("10.77.1.10"));
    EXPECT_EQ(rows[0].name, "Lobby AP");
    EXPECT_EQ(rows[1].ip, Ipv4::parse("10.77.2.20"));
    EXPECT_EQ(rows[1].kind, fw::DeviceKind::Bridge);
}

TEST(HostileSearchNet, AThousandDevicesAnsweringAtOnceGiveAThousandRows) {
    NetLab lab;
    startManyDevices(lab, 1000);
    SearchRig ws(lab);
    ASSERT_TRUE(ws.searchToEnd());
    const auto rows = ws.rowsByIp();
    ASSERT_EQ(rows.size(), 1000u);
    // Every device once, each row with its own sender's name.
    for (const DeviceRow& row : rows) {
        const int n = row.ip.octets[2] * 250 + row.ip.octets[3] - 1;
        EXPECT_EQ(row.name, "Device " + std::to_string(n)) << row.ip.toString();
    }
}

} // namespace
} // namespace fw::test
