// SPDX-License-Identifier: GPL-3.0-or-later
// watch --metrics-listen with 10,000 simulated devices on one segment (the simulator's edge mode):
// the watch's resident memory once all are known and after many more searches, and how long a
// scrape of the whole text takes, measured by curl in the workstation namespace.
#include "../LabBench.h"
#include "support/ManyDevices.h"
#include "support/NetLab.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
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

int run(int deviceCount, int seconds) {
    NetLab lab;
    test::startManyDevices(lab, deviceCount);
    QProcess* watch = lab.spawn("ws", {NetLab::binaryPath("src/cli/fernwick-cli"), "watch", "--interval", "4",
                                       "--format", "jsonl", "--metrics-listen", "127.0.0.1:9120"});
    const qint64 pid = watch->processId();
    std::printf("%d simulated devices, watch --interval 4 (each search waits 2 s)\n", deviceCount);
    const std::string full = "} " + std::to_string(deviceCount) + "\n";
    for (int i = 0; i < 60; ++i) {
        const auto text = lab.runApart("ws", {"curl", "-s", "http://127.0.0.1:9120/metrics"}).out;
        if (text.contains(full.c_str())) {
            std::printf("all known after %d s; text %lld bytes; resident %ld KiB\n", i,
                        static_cast<long long>(text.size()), residentKiB(pid));
            break;
        }
        QThread::sleep(1);
    }
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        times.push_back(scrape(lab, "%{time_total}").out.toDouble() * 1000.0);
    }
    std::printf("scrape (curl time_total, 20 scrapes): median %.1f ms, max %.1f ms\n", bench::median(times),
                *std::max_element(times.begin(), times.end()));
    for (int s = 0; s < seconds; s += 10) {
        QThread::sleep(10);
        std::printf("after %d s more (%d more searches): resident %ld KiB\n", s + 10, (s + 10) / 4,
                    residentKiB(pid));
    }
    return 0;
}

} // namespace
} // namespace fw

int main(int argc, char** argv) {
    int devices = 10000;
    int seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        (option == "--devices" ? devices : seconds) = std::atoi(argv[i + 1]);
    }
    if (!fw::bench::readyForLab()) {
        return 77;
    }
    QCoreApplication app(argc, argv);
    try {
        return fw::run(devices, seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
