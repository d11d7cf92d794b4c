// SPDX-License-Identifier: GPL-3.0-or-later
// Upload time of the largest image (16,776,703 bytes) from the second write request to completion,
// next to tftp-hpa's `put` and a bare blocking C loop (bench_lockstep_put) sending the same file
// to the same tftpd-hpa in the same lab. The three take turns within each round, each round in a
// different order, so that the load of a shared machine falls on all of them alike.
// Needs root (it builds network namespaces); prints SKIPPED and exits 77 otherwise.
//
//   bench_upgrade [rounds]      default 5; each of our rounds pays the 13 s start sequence first

#include "../BenchClock.h"
#include "../LabBench.h"
#include "engine/Engine.h"
#include "support/EngineUpload.h"
#include "support/VirtualLink.h"
#include "upgrade/TftpPackets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>

using namespace fw;
using namespace fw::test;

namespace {

using bench::median;
using bench::processCpuSeconds;

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;
};

// CPU of the children waited for so far (tftp-hpa's client and the `ip netns exec` that starts it).
double childrenCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto s = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return s(u.ru_utime) + s(u.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    if (!bench::readyForLab()) {
        return 77;
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    UploadLab lab;
    lab.addDevice(0);
    const auto image = labImage(kTftpMaxImageBytes, 7);
    const QString imagePath = QDir(lab.lab.dir()).filePath("image.bin");
    {
        QFile f(imagePath);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    }
    lab.lab.enterWorkstation();
    const QString target = QDir(lab.root(0)).filePath("fw.bin");
    auto stored = [&] {
        auto b = lab.received(0);
        QFile::remove(target);
        return b == image;
    };

    const auto fernwick = [&]() -> std::optional<Run> {
        engine::Engine e;
        test::EngineUpload u(e.endpoints());
        double cpu0 = 0;
        u.onSecondRequest = [&] {
            cpu0 = processCpuSeconds();
        };
        const auto result = e.run(u.run(0, image));
        const double cpu = processCpuSeconds() - cpu0;
        if (result.result.outcome != TftpUpload::Outcome::Completed || !stored()) {
            return std::nullopt;
        }
        return Run{u.transferSeconds(), cpu};
    };
    const auto tftpHpa = [&]() -> std::optional<Run> {
        const double cpu0 = childrenCpuSeconds();
        QElapsedTimer t;
        t.start();
        const int rc = lab.lab.run("ws", {"tftp", "10.77.1.10", "-m", "binary", "-c", "put", imagePath, "/"});
        const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
        if (rc != 0 || !stored()) {
            return std::nullopt;
        }
        return Run{s, childrenCpuSeconds() - cpu0};
    };
    const auto cLoop = [&]() -> std::optional<Run> {
        QProcess p;
        p.start(LOCKSTEP_PUT, {QString::fromStdString(UploadLab::localIp(0)), "10.77.1.10", imagePath});
        Run r;
        if (!p.waitForFinished(120000) || p.exitCode() != 0 ||
            std::sscanf(p.readAllStandardOutput().constData(), "transfer_s %lf cpu_s %lf", &r.seconds,
                        &r.cpuSeconds) != 2 ||
            !stored()) {
            return std::nullopt;
        }
        return r;
    };

    constexpr std::array<const char*, 3> names{"fernwick", "tftp-hpa put", "C loop"};
    const std::array<std::function<std::optional<Run>()>, 3> contenders{fernwick, tftpHpa, cLoop};
    std::array<std::vector<double>, 3> seconds;
    std::array<std::vector<double>, 3> cpu;
    std::vector<double> vsTftp;
    std::vector<double> vsLoop;
    for (int r = 0; r < rounds; ++r) {
        std::array<Run, 3> got;
        for (int k = 0; k < 3; ++k) {
            const int i = (r + k) % 3;
            const auto run = contenders[i]();
            if (!run) {
                std::fprintf(stderr, "%s failed in round %d\n", names[i], r + 1);
                return 1;
            }
            got[i] = *run;
            seconds[i].push_back(run->seconds);
            cpu[i].push_back(run->cpuSeconds);
        }
        vsTftp.push_back(got[1].seconds / got[0].seconds);
        vsLoop.push_back(got[2].seconds / got[0].seconds);
        std::printf("round %d: fernwick %.3f s, tftp put %.3f s, C loop %.3f s\n", r + 1, got[0].seconds,
                    got[1].seconds, got[2].seconds);
    }
    const double mib = static_cast<double>(image.size()) / (1 << 20);
    std::printf("%zu bytes, median of %d:", image.size(), rounds);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const double s = median(seconds[i]);
        std::printf(" %s %.3f s (%.1f MB/s, CPU %.1f ms/MiB)%s", names[i], s,
                    static_cast<double>(image.size()) / s / 1e6, 1000 * median(cpu[i]) / mib,
                    i + 1 < names.size() ? "," : ";");
    }
    // Throughput ratios, the median of each round's own (the contenders of a round share its load).
    std::printf(" ratio fernwick/tftp %.3f, fernwick/C loop %.3f\n", median(vsTftp), median(vsLoop));
    return 0;
}
