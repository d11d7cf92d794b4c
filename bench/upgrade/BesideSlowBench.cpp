// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of an upload to a fast device (tftpd-hpa) alone and beside a second upload to a slow
// device (the simulator, acknowledging every block some milliseconds late), both driven by one
// engine on this thread as a parallel rollout drives them. Each round times the fast upload of the largest
// image alone and beside the slow one, in alternating order; the two uploads of the pair start
// together, so both pay the 13 s start sequence at once and the slow one is sending throughout the
// fast one's transfer. The figure is the median of the rounds' throughput ratios, beside / alone.
// Needs root (it builds network namespaces); prints SKIPPED and exits 77 otherwise.
//
//   bench_upgrade_beside_slow [rounds] [ack delay in ms]      defaults 5 and 3

#include "../LabBench.h"
#include "engine/Engine.h"
#include "support/EngineUpload.h"
#include "support/VirtualLink.h"
#include "upgrade/TftpPackets.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <cstdio>

using namespace fw;
using namespace fw::test;
using bench::median;

int main(int argc, char** argv) {
    if (!bench::readyForLab()) {
        return 77;
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int delayMs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    UploadLab lab;
    lab.addDevice(0);
    lab.lab.addHost("d1", "a", UploadLab::deviceIp(1) + "/24");
    lab.lab.run("ws",
                {"ip", "addr", "add", QString::fromStdString(UploadLab::localIp(1) + "/24"), "dev", "eth0"});
    lab.lab.startSimulator(
        "d1", {"--device", QString("name=Slow AP,mac=00:0A:1B:2C:3D:51,tftp=%1,tftp.ack_delay_ms=%2")
                               .arg(QDir(lab.lab.dir()).filePath("slow.bin"))
                               .arg(delayMs)});
    const auto image = labImage(kTftpMaxImageBytes, 7);
    lab.lab.enterWorkstation();

    struct Run {
        double seconds = 0;
        double slowBlocksPerSecond = 0; // of the slow upload beside it, during its transfer
    };
    const auto fast = [&](bool besideSlow) -> std::optional<Run> {
        engine::Engine e; // declared first: its end closes the slow upload's sockets last
        test::EngineUpload f(e.endpoints());
        test::EngineUpload slow(e.endpoints());
        std::uint64_t slowBytes0 = 0;
        f.onSecondRequest = [&] {
            slowBytes0 = slow.bytesAcknowledged;
        };
        if (besideSlow) {
            asio::co_spawn(e.context(), slow.run(1, image), asio::detached);
        }
        const bool ran = e.run(f.run(0, image)).result.outcome == TftpUpload::Outcome::Completed;
        const auto slowBlocks = static_cast<double>(slow.bytesAcknowledged - slowBytes0) / kTftpBlockSize;
        const bool slowSending = slow.phase == TftpUpload::Phase::Sending;
        const bool stored = lab.received(0) == image;
        QFile::remove(QDir(lab.root(0)).filePath("fw.bin"));
        if (!ran || !stored || (besideSlow && !slowSending)) {
            return std::nullopt;
        }
        return Run{f.transferSeconds(), slowBlocks / f.transferSeconds()};
    };

    std::vector<double> alone;
    std::vector<double> beside;
    std::vector<double> ratios;
    std::vector<double> slowRates;
    for (int r = 0; r < rounds; ++r) {
        std::optional<Run> a;
        std::optional<Run> b;
        if (r % 2 == 0) {
            a = fast(false);
            b = a ? fast(true) : std::nullopt;
        } else {
            b = fast(true);
            a = b ? fast(false) : std::nullopt;
        }
        if (!a || !b) {
            std::fprintf(stderr, "round %d failed (or the slow upload was not sending throughout)\n", r + 1);
            return 1;
        }
        alone.push_back(a->seconds);
        beside.push_back(b->seconds);
        ratios.push_back(a->seconds / b->seconds);
        slowRates.push_back(b->slowBlocksPerSecond);
        std::printf(
            "round %d: alone %.3f s, beside the slow device %.3f s (it got %.0f blocks/s meanwhile)\n", r + 1,
            a->seconds, b->seconds, b->slowBlocksPerSecond);
    }
    const auto rate = [&](double s) {
        return static_cast<double>(image.size()) / s / 1e6;
    };
    std::printf(
        "%zu bytes, ack delay %d ms, median of %d: alone %.3f s (%.1f MB/s), beside %.3f s (%.1f MB/s); "
        "slow device %.0f blocks/s; ratio beside/alone %.3f\n",
        image.size(), delayMs, rounds, median(alone), rate(median(alone)), median(beside),
        rate(median(beside)), median(slowRates), median(ratios));
    return 0;
}
