#include "net/upgrade/LabUpload.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace fw::test {
namespace {

struct UploadCase {
    const char* name;
    std::size_t size;
    bool ackFlood; // a third host floods the workstation's transfer port with ACKs meanwhile
};

// Every upload runs in parallel in one lab, so the 13-second start sequence is paid once. Each
// has its own workstation address (the local port is always 14321) and its own tftpd-hpa.
TEST(TftpdUpload, ImagesArriveByteIdentical) {
    const std::vector<UploadCase> cases{{"Empty", 0, false},
                                        {"OneFullBlock", 512, false},
                                        {"Million", 1000000, false},
                                        {"Largest", 16776703, false},
                                        {"MillionUnderAckFlood", 1000000, true}};
    NetLab lab;
    lab.addHost("x", "a", "10.77.1.99/24"); // the third host
    std::vector<QString> roots;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string host = "d" + std::to_string(i);
        lab.addHost(host, "a", "10.77.1." + std::to_string(10 + i) + "/24");
        roots.push_back(startTftpd(lab, host));
        if (i > 0) {
            ASSERT_EQ(
                lab.run("ws", {"ip", "addr", "add", QString("10.77.1.%1/24").arg(1 + i), "dev", "eth0"}), 0);
        }
    }
    lab.enterWorkstation();

    std::vector<std::unique_ptr<LabUpload>> uploads;
    std::vector<std::vector<std::uint8_t>> images;
    QProcess* flooder = nullptr;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        images.push_back(labImage(cases[i].size, static_cast<std::uint32_t>(i + 1)));
        uploads.push_back(std::make_unique<LabUpload>());
        const std::string local = "10.77.1." + std::to_string(1 + i);
        uploads.back()->driver.begin("10.77.1." + std::to_string(10 + i), local, images.back());
        if (cases[i].ackFlood) {
            // ACKs of every block number from elsewhere, about 5000 a second for 25 s; it reports
            // how many datagrams came back to it (there must be none).
            const QString script = QString(R"(
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.setblocking(False)
end = time.monotonic() + 25; i = 0; back = 0
while time.monotonic() < end:
    s.sendto(bytes([0, 4, (i >> 8) & 255, i & 255]), ('%1', 14321)); i = (i + 1) % 65536
    if i % 5 == 0:
        time.sleep(0.001)
        try:
            while True: s.recv(2048); back += 1
        except BlockingIOError: pass
print('back', back, 'sent', i)
)")
                                       .arg(QString::fromStdString(local));
            flooder = lab.spawn("x", {"python3", "-c", script});
        }
    }

    ASSERT_TRUE(runUntil(
        [&] { return std::all_of(uploads.begin(), uploads.end(), [](const auto& u) { return u->ended(); }); },
        120000));

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const LabUpload& u = *uploads[i];
        EXPECT_EQ(u.outcome, TftpUpload::Outcome::Completed);
        EXPECT_EQ(u.messages, std::vector<std::string>{"Data transmit finish"});
        EXPECT_EQ(u.labels.back(), "100");
        const auto got = fileBytes(QDir(roots[i]).filePath("fw.bin"));
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->size(), images[i].size());
        EXPECT_TRUE(*got == images[i]);
        std::printf("%s: %zu bytes in %.2f s after the second request\n", cases[i].name, cases[i].size,
                    u.transferSeconds());
    }
    ASSERT_NE(flooder, nullptr);
    flooder->waitForFinished(60000);
    QFile log(QDir(lab.dir()).filePath("x-" + QString::number(cases.size()) + ".log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray report = log.readAll();
    std::printf("flooder: %s", report.constData());
    EXPECT_TRUE(report.startsWith("back 0 ")) << report.constData();
}

} // namespace
} // namespace fw::test
