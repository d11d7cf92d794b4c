// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Engine.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"
#include "support/EngineUpload.h"
#include "support/SearchRig.h"
#include "support/VirtualLink.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

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
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&ws.cycle, &WindowSearch::searchFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    ws.cycle.search();
    ASSERT_TRUE(ws.cycle.countdownRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ws.cycle.searchSequence().has_value(); }, 1000));

    QProcess* flood = lab.spawn("fl", {"python3", NetLab::sourcePath("tests/net/junk-flood.py"), "10.77.1.1",
                                       QString::number(*ws.cycle.searchSequence()), "20000"});
    bool floodEndedInCountdown = false;
    QObject::connect(flood, &QProcess::finished, &loop, [&] { floodEndedInCountdown = !finished; });
    // A 20 ms timer: the longest gap between its ticks shows how long the event loop stalled.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 worstGapMs = 0;
    int ticks = 0;
    QTimer probe;
    probe.callOnTimeout([&] { worstGapMs = std::max(worstGapMs, sinceTick.restart()), ++ticks; });
    probe.start(20);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a stuck countdown fails below
    loop.exec();

    ASSERT_TRUE(finished) << "the countdown did not end";
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
    ws.searchToEnd();
    const auto rows = ws.rowsByIp();
    ASSERT_EQ(rows.size(), 1000u);
    // Every device once, each row with its own sender's name.
    for (const DeviceRow& row : rows) {
        const int n = row.ip.octets[2] * 250 + row.ip.octets[3] - 1;
        EXPECT_EQ(row.name, "Device " + std::to_string(n)) << row.ip.toString();
    }
}

// Set IP while a third host on the segment sends forged answers: older sequence numbers, the current
// number behind a wrong magic, one byte short, or with a result other than 0 and 1. Only the device's
// answer to the latest request may show a message and draw the acknowledgement.
// The forger broadcasts and unicasts many copies of each kind for 2 s.
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
while time.monotonic() < end:
    for d in forged:
        s.sendto(d, ('255.255.255.255', 4001))
        s.sendto(d, ('10.77.1.1', 4001))
    time.sleep(0.005)
)";

TEST(HostileSetIpNet, ForgedAndStaleAnswersChangeNothing) {
    NetLab lab;
    lab.addHost("dev", "a", "10.77.1.50/24");
    lab.addHost("x", "a", "10.77.1.99/24");
    // The device answers 1.5 s late, so the forged answers come first and last.
    const QString log = lab.startSimulator(
        "dev", {"--device", "mac=00:0A:1B:00:00:01,ip=10.77.1.50/24,setip=accept,delay_ms=1500"});
    SearchRig ws(lab);
    ws.values.adapterTable = ws.adapters.enumerateAdapters().table;
    ASSERT_FALSE(ws.values.adapterTable.empty());
    ws.values.localAdapterIp = Ipv4::parse("10.77.1.1");
    ws.values.selectedDeviceMac = parseMac("00:0A:1B:00:00:01").value();
    SetIpExchange exchange;
    Setips dialog(ws.platform, ws.link, ws.values, exchange);
    dialog.show();
    dialog.findChild<QRadioButton*>("Option1")->click();
    dialog.findChild<ZavikIPAddress*>("ZavikIPAddress1")->setIpAddress("10.77.1.77");
    auto* ok = dialog.findChild<QPushButton*>("Command2");
    ok->click(); // request 1: its answer will be stale
    ok->click(); // request 2, the latest
    ws.settle();
    const std::int16_t latest = exchange.sequence(); // the run's numbers start anywhere
    QProcess* forger = lab.spawn("x", {"python3", "-c", kForger, QString::number(latest)});

    const auto acks = [&] {
        return simulatorEvents(log, "setip-ack");
    };
    EXPECT_TRUE(waitUntil([&] { return !ws.messages.shown.empty() && !acks().empty(); }, 6000));
    EXPECT_TRUE(waitUntil([&] { return forger->state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(forger->exitCode(), 0);
    QTest::qWait(500);

    // Two device answers (to 1 and 2) and a few thousand forgeries: one message, one acknowledgement.
    ASSERT_EQ(ws.messages.shown.size(), 1u);
    EXPECT_EQ(ws.messages.shown[0].text, "Set IP OK");
    ASSERT_EQ(acks().size(), 1u);
    EXPECT_EQ(acks()[0]["sequence"].toInt(), latest);
    EXPECT_TRUE(acks()[0]["matches_request"].toBool());
}

// Polls `done` every 50 ms on the engine's thread until it holds or `limit` has passed, then waits
// `after`; true when it held.
asio::awaitable<bool> settle(std::function<bool()> done, std::chrono::milliseconds limit,
                             std::chrono::milliseconds after) {
    asio::steady_timer timer(co_await asio::this_coro::executor);
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        timer.expires_after(std::chrono::milliseconds(50));
        co_await timer.async_wait(asio::use_awaitable);
    }
    const bool held = done();
    timer.expires_after(after);
    co_await timer.async_wait(asio::use_awaitable);
    co_return held;
}

// Uploads through a seeded relay that loses, duplicates and reorders datagrams in front of tftpd-hpa.
// Whatever the relay does, an upload either completes with the stored file identical to the image,
// ends with "Time Out", or (a late duplicate ACK of an older block) stalls after sending ERROR 0 with
// the dialog left open for Cancel. It never reports success for anything else. All cases run in
// parallel in one lab, so the 13-second start sequence is paid once.
TEST(LossyUpload, CompletesByteIdenticalOrTimesOutNeverAFalseSuccess) {
    const struct {
        const char* name;
        QStringList relay; // seed, loss, duplicate, reorder
        bool mayTimeOut;   // with this much loss, seven time-outs in one transfer are likely
    } cases[] = {
        {"Duplicates", {"11", "0", "0.10", "0"}, false},
        {"Reordering", {"12", "0", "0", "0.10"}, false},
        {"HeavyLoss", {"15", "0.30", "0.05", "0.05"}, true},
    };
    constexpr int kCases = std::size(cases);
    constexpr std::size_t kImageSize = 200 * 1024 + 17;
    UploadLab ul;
    std::vector<QString> relayLogs;
    for (int i = 0; i < kCases; ++i) {
        ul.addDevice(i, {"-a", "127.0.0.1:69"});
        const QStringList& r = cases[i].relay;
        relayLogs.push_back(QDir(ul.lab.dir()).filePath(QString("d%1-relay.jsonl").arg(i)));
        ul.lab.spawn("d" + std::to_string(i),
                     {NetLab::binaryPath("tools/devsim/lossy-relay"), "--listen",
                      QString::fromStdString(UploadLab::deviceIp(i)), "--server", "127.0.0.1:69", "--seed",
                      r[0], "--loss", r[1], "--duplicate", r[2], "--reorder", r[3], "--idle", "120", "--log",
                      relayLogs.back()});
    }
    for (const QString& log : relayLogs) {
        ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, 10000))
            << log.toStdString();
    }
    ul.lab.enterWorkstation();

    std::vector<std::optional<TftpUpload::Result>> results(kCases);
    engine::Engine e;
    std::vector<std::unique_ptr<EngineUpload>> uploads;
    for (int i = 0; i < kCases; ++i) {
        uploads.push_back(std::make_unique<EngineUpload>(e.endpoints()));
        asio::co_spawn(e.context(), uploads.back()->run(i, labImage(kImageSize, 100 + i)),
                       [&results, i](const std::exception_ptr&, TftpUpload::Result r) { results[i] = r; });
    }
    const auto settled = [&] {
        for (int i = 0; i < kCases; ++i) {
            if (!results[i] && uploads[i]->driver.phase() != TftpUpload::Phase::Stalled) {
                return false;
            }
        }
        return true;
    };
    // 13 s of start sequence, then at most seven time-outs of 3 s each. Then 4 s more: a stalled
    // transfer stays stalled, nothing moves it on its own (the server has given up).
    ASSERT_TRUE(e.run(settle(settled, std::chrono::seconds(60), std::chrono::seconds(4))));

    const auto text = [](const TftpUpload::Result& r) {
        return uploadResultText(r).value_or(std::string());
    };
    for (int i = 0; i < kCases; ++i) {
        SCOPED_TRACE(cases[i].name);
        if (uploads[i]->driver.phase() == TftpUpload::Phase::Stalled) {
            EXPECT_FALSE(results[i]) << "a stalled upload ended";
            continue;
        }
        ASSERT_TRUE(results[i]);
        if (results[i]->outcome == TftpUpload::Outcome::Completed) {
            EXPECT_EQ(text(*results[i]), "Data transmit finish");
            EXPECT_EQ(ul.received(i), labImage(kImageSize, 100 + i))
                << "success reported for a corrupted file";
        } else {
            EXPECT_TRUE(cases[i].mayTimeOut) << "no loss, yet the upload did not complete";
            EXPECT_EQ(results[i]->outcome, TftpUpload::Outcome::TimedOut);
            EXPECT_EQ(text(*results[i]), "Time Out");
        }
    }
}

} // namespace
} // namespace fw::test
