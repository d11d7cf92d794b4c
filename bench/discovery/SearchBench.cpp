// SPDX-License-Identifier: GPL-3.0-or-later
// 1,000 devices answer one search at once: are all of them listed, and how long after the last
// reply left its device is the last row in the list? Runs the window's search on real sockets in a
// namespace lab; the simulator logs the monotonic time of every reply right after its send returns,
// which is the same clock as std::chrono::steady_clock here. The reader runs on another core, so a
// row can be listed a few microseconds before the simulator has logged the send: the lag can read
// as slightly negative.
#include "../LabBench.h"
#include "support/SearchRig.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;
using test::NetLab;

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Runs the event loop for a while (a real loop, so datagrams are read as soon as they arrive).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int run(int deviceCount, int searches) {
    NetLab lab;
    const QString log = test::startManyDevices(lab, deviceCount);
    test::SearchRig rig(lab);
    auto& cycle = rig.cycle;
    auto& model = rig.model;
    Clock::time_point lastRow;
    QObject::connect(&cycle, &WindowSearch::rowAdded, [&lastRow] { lastRow = Clock::now(); });

    std::printf("%d simulated devices on one segment, %d searches\n", deviceCount, searches);
    bool allListed = true;
    for (int s = 1; s <= searches; ++s) {
        const Clock::time_point start = Clock::now();
        rig.searchToEnd(); // the Searching dialog's 3 s
        runFor(500);       // stragglers

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
    if (!fw::bench::readyForLab()) {
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
    try {
        return fw::run(devices, searches);
    } catch (const std::exception& e) { // the lab or the simulator did not come up
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
