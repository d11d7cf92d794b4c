// Upload time of the largest image (16,776,703 bytes) from the second write request to completion,
// next to tftp-hpa's `put` of the same file to the same tftpd-hpa in the same lab and run.
// Needs root (it builds network namespaces); prints SKIPPED and exits 77 otherwise.
//
//   bench_upgrade [rounds]      default 3; each of our rounds pays the 13 s start sequence first

#include "support/LabUpload.h"
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

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int r = 0; r < rounds; ++r) {
        std::vector<std::unique_ptr<LabUpload>> one;
        one.push_back(std::make_unique<LabUpload>());
        LabUpload& u = *one.back();
        u.driver.begin(Ipv4::parse(UploadLab::deviceIp(0)), Ipv4::parse(UploadLab::localIp(0)), image);
        if (!UploadLab::runAll(one, 120000) || u.outcome != TftpUpload::Outcome::Completed ||
            lab.received(0) != image) {
            std::fprintf(stderr, "our upload failed in round %d\n", r + 1);
            return 1;
        }
        ours.push_back(u.transferSeconds());

        QElapsedTimer t;
        t.start();
        const int rc =
            lab.lab.run("ws", {"tftp", "10.77.1.10", "-m", "binary", "-c", "put", imagePath, "put.bin"});
        theirs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (rc != 0 || lab.received(0, "put.bin") != image) {
            std::fprintf(stderr, "tftp put failed in round %d\n", r + 1);
            return 1;
        }
        QFile::remove(QDir(lab.root(0)).filePath("put.bin"));
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
