// SPDX-License-Identifier: GPL-3.0-or-later
// 1,000 devices answer one search at once: are all of them listed, and how long after the last
// reply left its device is the last row in the list? Runs a real SearchCycle on real sockets in a
// namespace lab; the simulator logs the monotonic time of every reply right after its send returns,
// which is the same clock as std::chrono::steady_clock here. The reader runs on another core, so a
// row can be listed a few microseconds before the simulator has logged the send: the lag can read
// as slightly negative.
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"
#include "support/Fakes.h"
#include "support/NetLab.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;
using test::NetLab;

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Devices 10.78.0.1 ... on segment a, each with its own address and MAC.
QByteArray deviceConfig(int count) {
    QJsonArray devices;
    for (int i = 0; i < count; ++i) {
        const int host = i + 1;
        devices.append(QJsonObject{
            {"mac", QString("02:00:00:%1:%2:%3")
                        .arg(host >> 16, 2, 16, QChar('0'))
                        .arg((host >> 8) & 0xFF, 2, 16, QChar('0'))
                        .arg(host & 0xFF, 2, 16, QChar('0'))},
            {"ip", QString("10.78.%1.%2/16").arg(host / 250).arg(host % 250 + 1)},
            {"name", QString("Device %1").arg(host)},
            {"reply", "unicast"},
        });
    }
    return QJsonDocument(QJsonObject{{"devices", devices}}).toJson(QJsonDocument::Compact);
}

// Runs the event loop for a while (a real loop, so datagrams are read as soon as they arrive).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int run(int deviceCount, int searches) {
    NetLab lab;
    lab.addHost("flood", "a", "10.77.1.2/24");
    // One kernel stands in for a thousand devices: resolve the workstation once, so the burst does
    // not wait in (and overflow) a single neighbour queue, as it would not on real devices.
    lab.run("flood", {"ip", "neigh", "replace", "10.77.1.1", "lladdr", "02:fe:00:00:01:01", "dev", "eth0",
                      "nud", "permanent"});
    const QString config = lab.dir() + "/devices.json";
    const QString log = lab.dir() + "/flood.jsonl";
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly) || f.write(deviceConfig(deviceCount)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(config));
            return 1;
        }
    }
    lab.spawn("flood",
              {NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--config", config, "--log", log});
    const bool ready = test::waitUntil([&] { return !test::simulatorEvents(log, "ready").empty(); }, 120000);
    if (!ready) {
        std::fprintf(stderr, "the simulator did not come up; see %s\n", qPrintable(lab.dir()));
        return 1;
    }

    lab.enterWorkstation();
    test::FakeMessageBoxes messages;
    test::FakeShell shell;
    test::FakeFileChooser files;
    LinuxAdapterSource adapters;
    Platform platform{messages, shell, adapters, files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    DeviceListModel model;
    SearchCycle cycle(platform, values, model, nullptr);
    Clock::time_point lastRow;
    QObject::connect(&cycle, &SearchCycle::rowAdded, [&lastRow] { lastRow = Clock::now(); });

    std::printf("%d simulated devices on one segment, %d searches\n", deviceCount, searches);
    bool allListed = true;
    for (int s = 1; s <= searches; ++s) {
        const Clock::time_point start = Clock::now();
        QEventLoop loop;
        QObject::connect(&cycle, &SearchCycle::searchFinished, &loop, &QEventLoop::quit);
        cycle.search();
        loop.exec(); // the Searching dialog's 3 s
        runFor(500); // stragglers

        double lastReply = 0;
        int replies = 0;
        for (const QJsonObject& o : test::simulatorEvents(log, "tx")) {
            if (o["kind"] == "discovery-reply" && o["t"].toDouble() >= seconds(start)) {
                ++replies;
                lastReply = std::max(lastReply, o["t"].toDouble());
            }
        }
        const int rows = model.rowCount();
        allListed = allListed && rows == deviceCount;
        std::printf("search %d: %d of %d rows listed (%d replies sent); last reply -> last row %.3f ms; "
                    "search start -> last row %.1f ms\n",
                    s, rows, deviceCount, replies, (seconds(lastRow) - lastReply) * 1000.0,
                    (seconds(lastRow) - seconds(start)) * 1000.0);
    }
    return allListed ? 0 : 1;
}

} // namespace
} // namespace fw

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_discovery_search builds network namespaces and needs root\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("FERNWICK_SOURCE_DIR")) {
        qputenv("FERNWICK_SOURCE_DIR", FW_SOURCE_DIR);
    }
    if (qEnvironmentVariableIsEmpty("FERNWICK_BINARY_DIR")) {
        qputenv("FERNWICK_BINARY_DIR", FW_BINARY_DIR);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the Searching dialog comes and goes
    int devices = 1000;
    int searches = 3;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--devices") {
            devices = args[i + 1].toInt();
        } else if (args[i] == "--searches") {
            searches = args[i + 1].toInt();
        }
    }
    if (devices < 1 || devices > 60000 || searches < 1) {
        std::fprintf(stderr, "usage: bench_discovery_search [--devices 1-60000] [--searches N]\n");
        return 2;
    }
    return fw::run(devices, searches);
}
