// SPDX-License-Identifier: GPL-3.0-or-later
// CPU used during the 13 s upgrade start sequence and resident memory around a 16 MiB upload, for
// the code the upgrade dialog runs (the engine's UpgradeDriver on real sockets, against tftpd-hpa in a
// lab).
// Prints one "key value" line per figure. Needs root; exits 77 otherwise.
#include "../BenchClock.h"
#include "../LabBench.h"
#include "engine/Engine.h"
#include "support/EngineUpload.h"
#include "support/VirtualLink.h"
#include "upgrade/TftpPackets.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

using namespace fw;
using namespace fw::test;

namespace {

using bench::monotonicSeconds;
using bench::processCpuSeconds;

// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long statusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (!bench::readyForLab()) {
        return 77;
    }
    QCoreApplication app(argc, argv);
    UploadLab lab;
    lab.addDevice(0);
    const QString root = lab.root(0);
    lab.lab.enterWorkstation();

    const long idleKiB = statusKiB("VmRSS");
    auto image = labImage(kTftpMaxImageBytes, 11);
    const auto expected = image;
    const long withImageKiB = statusKiB("VmRSS");

    engine::Engine e;
    test::EngineUpload u(e.endpoints());
    double cpuAtSecond = -1;
    double wallAtSecond = -1;
    u.onSecondRequest = [&] {
        cpuAtSecond = processCpuSeconds();
        wallAtSecond = monotonicSeconds();
    };
    const double cpu0 = processCpuSeconds();
    const double wall0 = monotonicSeconds();
    // The peak is the kernel's high-water mark, reset here.
    std::ofstream("/proc/self/clear_refs") << "5";
    const auto result = e.run(u.run(0, std::move(image)));
    const long peakKiB = statusKiB("VmHWM");
    const double cpuEnd = processCpuSeconds();
    const double wallEnd = monotonicSeconds();
    const auto stored = fileBytes(QDir(root).filePath("fw.bin"));
    if (result.result.outcome != TftpUpload::Outcome::Completed || !stored || *stored != expected ||
        cpuAtSecond < 0) {
        std::fprintf(stderr, "the upload did not complete byte-identical\n");
        return 1;
    }
    std::printf("start_sequence_s %.3f\n", wallAtSecond - wall0);
    std::printf("start_sequence_cpu_pct %.3f\n", 100.0 * (cpuAtSecond - cpu0) / (wallAtSecond - wall0));
    std::printf("transfer_s %.3f\n", wallEnd - wallAtSecond);
    std::printf("transfer_cpu_pct %.1f\n", 100.0 * (cpuEnd - cpuAtSecond) / (wallEnd - wallAtSecond));
    std::printf("rss_idle_kib %ld\n", idleKiB);
    std::printf("rss_image_loaded_kib %ld\n", withImageKiB);
    // The process holds the image twice here (the bench keeps a copy to compare): what the upload
    // itself adds is the peak over the image-loaded figure.
    std::printf("rss_peak_upload_kib %ld\n", peakKiB);
    std::printf("rss_upload_extra_kib %ld\n", peakKiB - withImageKiB);
    return 0;
}
