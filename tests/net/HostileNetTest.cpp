// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ProcessValues.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"
#include "support/Fakes.h"
#include "support/LabUpload.h"
#include "support/NetLab.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

// ---- hostilesearchnettest
// Searches on real sockets under abuse: a junk flood at port 4001 while the Searching dialog counts
// down, and a thousand devices answering the same request at once.

namespace fw {
namespace hostilesearchnettest {

using test::NetLab;
using test::simulatorEvents;
using test::waitUntil;

// A SearchCycle on the workstation's real adapters, its Searching dialog over a real widget.
struct Workstation {
    explicit Workstation(NetLab& lab) {
        lab.enterWorkstation();
        window.show();
    }
    test::FakeMessageBoxes messages;
    test::FakeShell shell;
    test::FakeFileChooser files;
    LinuxAdapterSource adapters;
    Platform platform{messages, shell, adapters, files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    DeviceListModel model;
    QWidget window;
    SearchCycle cycle{platform, values, model, &window};

    std::vector<DeviceRow> rows() const {
        std::vector<DeviceRow> out;
        for (int i = 0; i < model.rowCount(); ++i) {
            out.push_back(model.rowAt(i));
        }
        std::sort(out.begin(), out.end(), [](const DeviceRow& a, const DeviceRow& b) { return a.ip < b.ip; });
        return out;
    }
};

// While the event loop runs, a zero timer every 20 ms; the longest it waited to be handled.
class ResponsivenessProbe {
public:
    explicit ResponsivenessProbe(QObject* context) {
        ticker_.setInterval(20);
        QObject::connect(&ticker_, &QTimer::timeout, context, [this] {
            auto posted = std::make_shared<QElapsedTimer>();
            posted->start();
            QTimer::singleShot(0, &ticker_, [this, posted] {
                worstMs_ = std::max(worstMs_, posted->elapsed());
                ++answered_;
            });
        });
        ticker_.start();
    }
    qint64 worstMs() const { return worstMs_; }
    int answered() const { return answered_; }

private:
    QTimer ticker_;
    qint64 worstMs_ = 0;
    int answered_ = 0;
};

// The workstation kernel's UDP counter `field` (from /proc/net/snmp inside its namespace).
long long udpCounter(NetLab& lab, const QString& field) {
    QByteArray out;
    lab.run("ws", {"cat", "/proc/net/snmp"}, &out);
    QList<QByteArray> names;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.startsWith("Udp: ")) {
            continue;
        }
        if (names.isEmpty()) {
            names = line.simplified().split(' ');
            continue;
        }
        const auto values = line.simplified().split(' ');
        const auto at = names.indexOf(field.toLatin1());
        return at > 0 && at < values.size() ? values[at].toLongLong() : -1;
    }
    return -1;
}

TEST(HostileSearchNet, JunkFloodDuringTheCountdownLeavesTheWindowAnsweringAndTheDevicesListed) {
    NetLab lab;
    lab.addHost("d1", "a", "10.77.1.10/24");
    lab.addHost("d2", "b", "10.77.2.20/24");
    lab.addHost("fl", "a", "10.77.1.50/24");
    // The devices answer 0.8 s late, so their replies land in the middle of the flood.
    lab.startSimulator("d1", {"--device", "name=Lobby AP,mac=00:0A:1B:2C:3D:4E,essid=office,delay_ms=800"});
    lab.startSimulator("d2", {"--device", "name=Yard bridge,mac=00:0A:1B:00:00:02,kind=G,delay_ms=800"});

    const long long udpBefore = udpCounter(lab, "InDatagrams") + udpCounter(lab, "RcvbufErrors");
    Workstation ws(lab);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&ws.cycle, &SearchCycle::searchFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    ws.cycle.search();
    ASSERT_TRUE(ws.cycle.countdownRunning());

    QProcess* flood = lab.spawn("fl", {"python3", NetLab::sourcePath("tests/net/junk-flood.py"), "10.77.1.1",
                                       QString::number(ws.cycle.searchSequence()), "20000"});
    bool floodEndedInCountdown = false;
    QObject::connect(flood, &QProcess::finished, &loop, [&] { floodEndedInCountdown = !finished; });
    ResponsivenessProbe probe(&loop);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a stuck countdown fails below
    loop.exec();

    ASSERT_TRUE(finished) << "the countdown did not end";
    ASSERT_TRUE(flood->state() == QProcess::NotRunning || flood->waitForFinished(20000));
    EXPECT_TRUE(floodEndedInCountdown) << "the flood outlasted the countdown; it proves nothing";
    EXPECT_EQ(flood->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(flood->exitCode(), 0);
    std::printf("probe: %d answered, worst %lld ms\n", probe.answered(),
                static_cast<long long>(probe.worstMs()));
    // The flood reached the workstation's kernel (read by us or dropped for a full socket buffer).
    const long long udpAfter = udpCounter(lab, "InDatagrams") + udpCounter(lab, "RcvbufErrors");
    EXPECT_GE(udpAfter - udpBefore, 20000);
    std::printf("flood: %lld datagrams arrived, %lld dropped for a full buffer\n", udpAfter - udpBefore,
                udpCounter(lab, "RcvbufErrors"));
    EXPECT_GT(probe.answered(), 100); // 3 s at one probe per 20 ms
    EXPECT_LT(probe.worstMs(), 200) << "the event loop stalled during the flood";
    const auto rows = ws.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ip, Ipv4::parse("10.77.1.10"));
    EXPECT_EQ(rows[0].name, "Lobby AP");
    EXPECT_EQ(rows[1].ip, Ipv4::parse("10.77.2.20"));
    EXPECT_FALSE(rows[1].isAp);
}

// Devices 10.78.x.y on segment a, all in one simulator.
QByteArray manyDevices(int count) {
    QJsonArray devices;
    for (int host = 1; host <= count; ++host) {
        devices.append(QJsonObject{
            {"mac", QString("02:00:00:00:%1:%2")
                        .arg(host >> 8, 2, 16, QChar('0'))
                        .arg(host & 0xFF, 2, 16, QChar('0'))},
            {"ip", QString("10.78.%1.%2/16").arg(host / 250).arg(host % 250 + 1)},
            {"name", QString("Device %1").arg(host)},
            {"reply", "unicast"},
        });
    }
    return QJsonDocument(QJsonObject{{"devices", devices}}).toJson(QJsonDocument::Compact);
}

TEST(HostileSearchNet, AThousandDevicesAnsweringAtOnceGiveAThousandRows) {
    constexpr int kDevices = 1000;
    NetLab lab;
    lab.addHost("many", "a", "10.77.1.2/24");
    // One kernel plays every device: resolve the workstation once so the burst does not queue (and
    // overflow) behind a single neighbour lookup, which a thousand real devices would not share.
    lab.run("many", {"ip", "neigh", "replace", "10.77.1.1", "lladdr", "02:fe:00:00:01:01", "dev", "eth0",
                     "nud", "permanent"});
    lab.startSimulator("many", manyDevices(kDevices), 120000);

    Workstation ws(lab);
    QEventLoop loop;
    QObject::connect(&ws.cycle, &SearchCycle::searchFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    ws.cycle.search();
    loop.exec();

    const auto rows = ws.rows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kDevices));
    // Every device once, each row with its own sender's name.
    for (const DeviceRow& row : rows) {
        const int host = row.ip.octets[2] * 250 + row.ip.octets[3] - 1;
        EXPECT_EQ(row.name, "Device " + std::to_string(host)) << row.ip.toString();
    }
}

} // namespace hostilesearchnettest
} // namespace fw

// ---- hostilesetipnettest
// Set IP while a third host on the segment broadcasts forged answers: older sequence numbers, the
// current number behind a wrong magic, one byte short, or with a result other than 0 and 1. Only
// the device's answer to the latest request may show a message and draw the acknowledgement.

namespace fw {
namespace hostilesetipnettest {

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
    // The device answers 1.5 s late, so the forged answers come first and last.
    const QString log = lab.startSimulator(
        "dev", {"--device", "mac=00:0A:1B:00:00:01,ip=10.77.1.50/24,setip=accept,delay_ms=1500"});
    lab.enterWorkstation();

    LinuxAdapterSource adapters;
    test::FakePlatform fakes;
    Platform platform{fakes.messages, fakes.shell, adapters, fakes.files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    values.adapterTable = adapters.enumerateAdapters().table;
    ASSERT_FALSE(values.adapterTable.empty());
    values.localAdapterIp = Ipv4::parse("10.77.1.1");
    values.selectedDeviceMac = parseMac("00:0A:1B:00:00:01").value();
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

} // namespace hostilesetipnettest
} // namespace fw

// ---- lossyuploadnettest
// Uploads through a seeded relay that loses, duplicates and reorders datagrams in front of
// tftpd-hpa. Whatever the relay does, an upload either completes with the stored file identical to
// the image, ends with "Time Out", or (a late duplicate ACK of an older block) stalls after sending
// ERROR 0 with the dialog left open for Cancel. It never reports success for anything else.

namespace fw::test {
namespace lossyuploadnettest {

struct LossCase {
    const char* name;
    const char* seed;
    const char* loss;
    const char* duplicate;
    const char* reorder;
    bool mayTimeOut; // with this much loss, seven time-outs in one transfer are likely
};

// All run in parallel in one lab, so the 13-second start sequence is paid once; each device has
// its own relay and server, and each upload its own workstation address.
TEST(LossyUpload, CompletesByteIdenticalOrTimesOutNeverAFalseSuccess) {
    const std::vector<LossCase> cases{
        {"Duplicates", "11", "0", "0.10", "0", false},
        {"Reordering", "12", "0", "0", "0.10", false},
        {"LittleOfEverything", "13", "0.01", "0.05", "0.05", true},
        {"MuchOfEverything", "14", "0.05", "0.10", "0.10", true},
        {"HeavyLoss", "15", "0.30", "0.05", "0.05", true},
    };
    constexpr std::size_t kImageSize = 200 * 1024 + 17;
    UploadLab ul;
    NetLab& lab = ul.lab;
    std::vector<QString> relayLogs;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const int n = static_cast<int>(i);
        ul.addDevice(n, {"-a", "127.0.0.1:69"});
        relayLogs.push_back(QDir(lab.dir()).filePath(QString("d%1-relay.jsonl").arg(n)));
        lab.spawn("d" + std::to_string(i),
                  {NetLab::binaryPath("tools/devsim/lossy-relay"), "--listen",
                   QString::fromStdString(UploadLab::deviceIp(n)), "--server", "127.0.0.1:69", "--seed",
                   cases[i].seed, "--loss", cases[i].loss, "--duplicate", cases[i].duplicate, "--reorder",
                   cases[i].reorder, "--idle", "120", "--log", relayLogs.back()});
    }
    for (const QString& log : relayLogs) {
        ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, 10000))
            << qPrintable(log);
    }
    lab.enterWorkstation();

    std::vector<std::unique_ptr<LabUpload>> uploads;
    std::vector<std::vector<std::uint8_t>> images;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const int n = static_cast<int>(i);
        images.push_back(labImage(kImageSize, static_cast<std::uint32_t>(100 + i)));
        uploads.push_back(std::make_unique<LabUpload>());
        uploads.back()->driver.begin(Ipv4::parse(UploadLab::deviceIp(n)), Ipv4::parse(UploadLab::localIp(n)),
                                     images.back());
    }
    const auto settled = [](const LabUpload& u) {
        return u.ended() || u.driver.phase() == TftpUpload::Phase::Stalled;
    };
    // 13 s of start sequence, then at most seven time-outs of 3 s each.
    const bool allSettled = waitUntil(
        [&] {
            return std::all_of(uploads.begin(), uploads.end(), [&](const auto& u) { return settled(*u); });
        },
        60000);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& u = *uploads[i];
        std::printf("%s: phase %d, bar %d, relay log %lld bytes\n", cases[i].name,
                    static_cast<int>(u.driver.phase()), u.driver.progress(),
                    static_cast<long long>(QFileInfo(relayLogs[i]).size()));
    }
    ASSERT_TRUE(allSettled);
    // A stalled transfer stays stalled: nothing moves it on its own (the server has given up).
    waitUntil([] { return false; }, 4000);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const LabUpload& u = *uploads[i];
        const auto stored = ul.received(static_cast<int>(i));
        if (u.outcome == TftpUpload::Outcome::Completed) {
            EXPECT_EQ(u.messages, std::vector<std::string>{"Data transmit finish"});
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(stored->size(), images[i].size());
            EXPECT_TRUE(*stored == images[i]) << "success reported for a corrupted file";
        } else if (u.driver.phase() == TftpUpload::Phase::Stalled) {
            EXPECT_FALSE(u.ended());
            EXPECT_TRUE(u.messages.empty());
        } else {
            EXPECT_TRUE(cases[i].mayTimeOut) << "no loss, yet the upload did not complete";
            EXPECT_EQ(u.outcome, TftpUpload::Outcome::TimedOut);
            EXPECT_EQ(u.messages, std::vector<std::string>{"Time Out"});
        }
        std::printf("%s: %s\n", cases[i].name,
                    u.outcome == TftpUpload::Outcome::Completed ? "completed" : "Time Out");
    }
}

} // namespace lossyuploadnettest
} // namespace fw::test
