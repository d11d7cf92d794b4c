// SPDX-License-Identifier: GPL-3.0-or-later
// watch --metrics-listen --inventory with 10,000 simulated devices on one segment (the simulator's
// edge mode): the watch's resident memory once all are known and after many more searches (with
// --interval 0.2 and fewer devices: memory over 10,000 searches), how long a search takes and a
// scrape of the whole text, measured by curl in the workstation namespace.
#include "../LabBench.h"
#include "support/ManyDevices.h"
#include "support/NetLab.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fw {
namespace {

using test::NetLab;

long residentKiB(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

NetLab::Outcome scrape(NetLab& lab, const char* format) {
    return lab.runApart("ws",
                        {"curl", "-s", "-o", "/dev/null", "-w", format, "http://127.0.0.1:9120/metrics"});
}

int run(int deviceCount, int seconds, double interval) {
    NetLab lab;
    test::startManyDevices(lab, deviceCount);
    QProcess* watch = lab.spawn("ws", {NetLab::binaryPath("src/cli/fernwick-cli"), "watch", "--interval",
                                       QString::number(interval), "--format", "jsonl", "--metrics-listen",
                                       "127.0.0.1:9120", "--inventory", lab.dir() + "/inventory.json"});
    const qint64 pid = watch->processId();
    std::printf("%d simulated devices, watch --interval %g --inventory\n", deviceCount, interval);
    const std::string full = "} " + std::to_string(deviceCount) + "\n";
    for (int i = 0; i < 60; ++i) {
        const auto text = lab.runApart("ws", {"curl", "-s", "http://127.0.0.1:9120/metrics"}).out;
        if (text.contains(full.c_str())) {
            const qsizetype at = text.indexOf("\nfernwick_search_duration_seconds ");
            std::printf("all known after %d s; text %lld bytes; resident %ld KiB; last search %s s\n", i,
                        static_cast<long long>(text.size()), residentKiB(pid),
                        text.mid(at + 34, text.indexOf('\n', at + 1) - at - 34).constData());
            break;
        }
        QThread::sleep(1);
    }
    std::vector<double> times;
    times.reserve(20);
    for (int i = 0; i < 20; ++i) {
        times.push_back(scrape(lab, "%{time_total}").out.toDouble() * 1000.0);
    }
    std::printf("scrape (curl time_total, 20 scrapes): median %.1f ms, max %.1f ms\n", bench::median(times),
                *std::max_element(times.begin(), times.end()));
    const int step = std::max(10, seconds / 20);
    for (int s = 0; s < seconds; s += step) {
        QThread::sleep(static_cast<unsigned long>(step));
        std::printf("after %d s more (about %.0f more searches): resident %ld KiB\n", s + step,
                    (s + step) / interval, residentKiB(pid));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace
} // namespace fw

int main(int argc, char** argv) {
    int devices = 10000;
    int seconds = 60;
    double interval = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--interval") {
            interval = std::atof(argv[i + 1]);
        } else {
            (option == "--devices" ? devices : seconds) = std::atoi(argv[i + 1]);
        }
    }
    if (!fw::bench::readyForLab()) {
        return 77;
    }
    QCoreApplication app(argc, argv);
    try {
        return fw::run(devices, seconds, interval);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
