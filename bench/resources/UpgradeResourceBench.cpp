// SPDX-License-Identifier: GPL-3.0-or-later
// CPU used during the 13 s upgrade start sequence and resident memory around a 16 MiB upload, for
// the code the upgrade dialog runs (UploadDriver on real sockets, against tftpd-hpa in a lab).
// Prints one "key value" line per figure. Needs root; exits 77 otherwise.
#include "../BenchClock.h"
#include "../LabBench.h"
#include "support/LabUpload.h"
#include "upgrade/core/TftpPackets.h"

#include <QCoreApplication>

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
    NetLab lab;
    lab.addHost("d", "a", "10.77.1.10/24");
    const QString root = startTftpd(lab, "d");
    lab.enterWorkstation();

    const long idleKiB = statusKiB("VmRSS");
    auto image = labImage(kTftpMaxImageBytes, 11);
    const auto expected = image;
    const long withImageKiB = statusKiB("VmRSS");

    LabUpload u;
    double cpuAtSecond = -1;
    double wallAtSecond = -1;
    QObject::connect(&u.driver, &UploadDriver::secondRequestSent, [&] {
        cpuAtSecond = processCpuSeconds();
        wallAtSecond = monotonicSeconds();
    });
    const double cpu0 = processCpuSeconds();
    const double wall0 = monotonicSeconds();
    u.driver.begin(Ipv4::parse("10.77.1.10"), Ipv4::parse("10.77.1.1"), std::move(image));
    // The dialog just runs its event loop; a slow poll stands in for it, so the figures are the
    // driver's and not a busy harness's. The peak is the kernel's high-water mark, reset here.
    std::ofstream("/proc/self/clear_refs") << "5";
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (u.ended()) {
            loop.quit();
        }
    });
    poll.start(500);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ended = u.ended();
    const long peakKiB = statusKiB("VmHWM");
    const double cpuEnd = processCpuSeconds();
    const double wallEnd = monotonicSeconds();
    const auto stored = fileBytes(QDir(root).filePath("fw.bin"));
    if (!ended || u.outcome != TftpUpload::Outcome::Completed || !stored || *stored != expected ||
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
