// Upload time of the largest image (16,776,703 bytes) from the second write request to completion,
// next to tftp-hpa's `put` of the same file to the same tftpd-hpa in the same lab and run.
// Needs root (it builds network namespaces); prints SKIPPED and exits 77 otherwise.
//
//   bench_upgrade [rounds]      default 3; each of our rounds pays the 13 s start sequence first

#include "net/upgrade/LabUpload.h"
#include "upgrade/core/TftpPackets.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace fw;
using namespace fw::test;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool sameAs(const QString& path, const std::vector<std::uint8_t>& image) {
    const auto got = fileBytes(path);
    return got && *got == image;
}

} // namespace

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::printf("SKIPPED: the benchmark builds network namespaces and needs root\n");
        return 77;
    }
    if (qEnvironmentVariableIsEmpty("FERNWICK_SOURCE_DIR")) {
        qputenv("FERNWICK_SOURCE_DIR", FERNWICK_SOURCE_DIR);
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    NetLab lab;
    lab.addHost("d", "a", "10.77.1.10/24");
    const QString root = startTftpd(lab, "d");
    const auto image = labImage(kTftpMaxImageBytes, 7);
    const QString imagePath = QDir(lab.dir()).filePath("image.bin");
    {
        QFile f(imagePath);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    }
    lab.enterWorkstation();

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int r = 0; r < rounds; ++r) {
        LabUpload u;
        u.driver.begin("10.77.1.10", "10.77.1.1", image);
        if (!runUntil([&] { return u.ended(); }, 120000) || u.outcome != TftpUpload::Outcome::Completed ||
            !sameAs(QDir(root).filePath("fw.bin"), image)) {
            std::fprintf(stderr, "our upload failed in round %d\n", r + 1);
            return 1;
        }
        ours.push_back(u.transferSeconds());

        QElapsedTimer t;
        t.start();
        const int rc =
            lab.run("ws", {"tftp", "10.77.1.10", "-m", "binary", "-c", "put", imagePath, "put.bin"});
        theirs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (rc != 0 || !sameAs(QDir(root).filePath("put.bin"), image)) {
            std::fprintf(stderr, "tftp put failed in round %d\n", r + 1);
            return 1;
        }
        QFile::remove(QDir(root).filePath("put.bin"));
        std::printf("round %d: fernwick %.3f s, tftp put %.3f s\n", r + 1, ours.back(), theirs.back());
    }
    const double a = median(ours);
    const double b = median(theirs);
    std::printf("%zu bytes, median of %d: fernwick %.3f s (%.1f MB/s), tftp-hpa put %.3f s (%.1f MB/s); "
                "ratio tftp/fernwick %.2f\n",
                image.size(), rounds, a, static_cast<double>(image.size()) / a / 1e6, b,
                static_cast<double>(image.size()) / b / 1e6, b / a);
    return 0;
}
