// SPDX-License-Identifier: GPL-3.0-or-later
// 1,000 devices answer one search at once: are all of them listed, and how long after the last
// reply left its device is the last row listed? Runs the engine's SearchDriver on real sockets in a
// namespace lab; the simulator logs the monotonic time of every reply right after its send returns,
// which is the same clock as std::chrono::steady_clock here. The reader runs on another core, so a
// row can be listed a few microseconds before the simulator has logged the send: the lag can read
// as slightly negative.
#include "../LabBench.h"
#include "engine/Engine.h"
#include "engine/SearchDriver.h"
#include "netif/AdapterRules.h"
#include "platform/SystemHost.h"
#include "support/ManyDevices.h"
#include "support/NetLab.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <variant>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;
using test::NetLab;

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// The Searching dialog's 3 s, then 0.5 s for stragglers.
constexpr std::chrono::milliseconds kSearchWait{3500};

int run(int deviceCount, int searches) {
    NetLab lab;
    const QString log = test::startManyDevices(lab, deviceCount);
    lab.enterWorkstation();
    AdapterTable adapters = selectAdapters(SystemHost().readAdapters()).table;
    engine::Engine engine;
    Clock::time_point lastRow;
    engine::SearchDriver search(engine.endpoints());
    const engine::SearchDriver::Observer noteRow = [&lastRow](const SearchJob::Event& e) {
        if (std::holds_alternative<DeviceRow>(e)) {
            lastRow = Clock::now();
        }
    };

    std::printf("%d simulated devices on one segment, %d searches\n", deviceCount, searches);
    bool allListed = true;
    for (int s = 1; s <= searches; ++s) {
        const Clock::time_point start = Clock::now();
        const auto summary =
            engine.run(search.run({adapters, kSearchWait, {}, DiscoverySearch::Keying::Sender, {}}, noteRow));

        double lastReply = 0;
        int replies = 0;
        for (const QJsonObject& o : test::simulatorEvents(log, "tx")) {
            if (o["kind"] == "discovery-reply" && o["t"].toDouble() >= seconds(start)) {
                ++replies;
                lastReply = std::max(lastReply, o["t"].toDouble());
            }
        }
        const int rows = static_cast<int>(summary.rows.size());
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
    QCoreApplication app(argc, argv);
    int devices = 1000;
    int searches = 3;
    const QStringList args = QCoreApplication::arguments();
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
