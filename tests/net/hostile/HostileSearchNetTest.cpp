// Searches on real sockets under abuse: a junk flood at port 4001 while the Searching dialog counts
// down, and a thousand devices answering the same request at once.
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"

#include "net/discovery/SimulatorLog.h"
#include "support/Fakes.h"
#include "support/NetLab.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace fw {
namespace {

using test::NetLab;
using test::simulatorEvents;
using test::waitUntil;

QString devsim() {
    return NetLab::binaryPath("tools/devsim/fernwick-devsim");
}

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
    const QString log1 = lab.dir() + "/d1.jsonl";
    const QString log2 = lab.dir() + "/d2.jsonl";
    lab.spawn("d1", {devsim(), "--device", "name=Lobby AP,mac=00:0A:1B:2C:3D:4E,essid=office,delay_ms=800",
                     "--log", log1});
    lab.spawn("d2", {devsim(), "--device", "name=Yard bridge,mac=00:0A:1B:00:00:02,kind=G,delay_ms=800",
                     "--log", log2});
    ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log1, "ready").empty(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log2, "ready").empty(); }, 10000));

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

    QProcess* flood = lab.spawn("fl", {"python3", NetLab::sourcePath("tests/net/hostile/junk-flood.py"),
                                       "10.77.1.1", QString::number(ws.cycle.searchSequence()), "20000"});
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
    EXPECT_EQ(rows[0].ip, "10.77.1.10");
    EXPECT_EQ(rows[0].name, "Lobby AP");
    EXPECT_EQ(rows[1].ip, "10.77.2.20");
    EXPECT_EQ(rows[1].kind, "G");
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
    const QString config = lab.dir() + "/many.json";
    const QString log = lab.dir() + "/many.jsonl";
    {
        QFile f(config);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(manyDevices(kDevices));
    }
    lab.spawn("many", {devsim(), "--config", config, "--log", log});
    ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, 120000));

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
        const auto parts = QString::fromStdString(row.ip).split('.');
        ASSERT_EQ(parts.size(), 4);
        const int host = parts[2].toInt() * 250 + parts[3].toInt() - 1;
        EXPECT_EQ(row.name, "Device " + std::to_string(host)) << row.ip;
    }
}

} // namespace
} // namespace fw
