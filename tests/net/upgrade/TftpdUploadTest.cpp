#include "net/upgrade/LabUpload.h"

#include <gtest/gtest.h>

namespace fw::test {
namespace {

using Outcome = TftpUpload::Outcome;

std::vector<std::unique_ptr<LabUpload>> startUploads(const std::vector<std::vector<std::uint8_t>>& images) {
    std::vector<std::unique_ptr<LabUpload>> uploads;
    for (std::size_t i = 0; i < images.size(); ++i) {
        uploads.push_back(std::make_unique<LabUpload>());
        const int n = static_cast<int>(i);
        uploads.back()->driver.begin(UploadLab::deviceIp(n), UploadLab::localIp(n), images[i]);
    }
    return uploads;
}

// All uploads run in parallel in one lab, so the 13-second start sequence is paid once. The last
// one's port 14321 is flooded meanwhile by a third host with ACKs of every block number.
TEST(TftpdUpload, ImagesArriveByteIdenticalAlsoUnderAThirdHostAckFlood) {
    const std::vector<std::size_t> sizes{0, 512, 1000000, 16776703, 1000000};
    UploadLab lab;
    lab.lab.addHost("x", "a", "10.77.1.99/24");
    std::vector<std::vector<std::uint8_t>> images;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        lab.addDevice(static_cast<int>(i));
        images.push_back(labImage(sizes[i], static_cast<std::uint32_t>(i + 1)));
    }
    lab.lab.enterWorkstation();
    const auto uploads = startUploads(images);
    // About 5000 a second for 25 s; it counts the datagrams that come back to it (none may).
    QProcess* flooder = lab.lab.spawn("x", {"python3", "-c",
                                            QString(R"(
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
print('back', back))")
                                                .arg(QString::fromStdString(UploadLab::localIp(4)))});

    ASSERT_TRUE(UploadLab::runAll(uploads, 120000));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE("upload " + std::to_string(i) + ", " + std::to_string(sizes[i]) + " bytes");
        EXPECT_EQ(uploads[i]->outcome, Outcome::Completed);
        EXPECT_EQ(uploads[i]->messages, std::vector<std::string>{"Data transmit finish"});
        EXPECT_EQ(uploads[i]->label, "100");
        EXPECT_TRUE(lab.received(static_cast<int>(i)) == images[i]);
        std::printf("%zu bytes: %.2f s after the second request\n", sizes[i], uploads[i]->transferSeconds());
    }
    flooder->waitForFinished(60000);
    QFile log(QDir(lab.lab.dir()).filePath(QString("x-%1.log").arg(sizes.size())));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().trimmed(), "back 0");
}

// tftpd-hpa behind the seeded relay, which loses 10 % of the datagrams each way (30 % for the last
// two, which mostly time out). An upload may time out, but it never claims an image the server
// does not hold.
TEST(TftpdUpload, LossBothWaysNeverClaimsAnIncompleteImage) {
    const std::vector<const char*> loss{"0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.3", "0.3"};
    UploadLab lab;
    for (int i = 0; i < static_cast<int>(loss.size()); ++i) {
        // The relay does not pass ICMP on, so the child that tftpd-hpa forks for the first (wake-up)
        // request never learns that our socket closed; it retransmits ACK 0 for about 31 s, and
        // this tftpd-hpa answers no other request meanwhile. A 100 ms first retransmission (-T)
        // makes that child give up after about 6 s, before the second request comes.
        lab.addDevice(i, {"-a", "127.0.0.1:69", "-T", "100000"});
        lab.lab.spawn("d" + std::to_string(i), {NetLab::binaryPath("tools/devsim/lossy-relay"), "--listen",
                                                QString::fromStdString(UploadLab::deviceIp(i)), "--seed",
                                                QString::number(i + 1), "--loss", loss[i]});
    }
    lab.lab.enterWorkstation();
    const std::vector<std::vector<std::uint8_t>> images(loss.size(), labImage(128 * 512 + 100, 99));
    const auto uploads = startUploads(images);

    ASSERT_TRUE(UploadLab::runAll(uploads, 240000));
    for (int i = 0; i < static_cast<int>(loss.size()); ++i) {
        const LabUpload& u = *uploads[i];
        const auto got = lab.received(i);
        SCOPED_TRACE("seed " + std::to_string(i + 1) + ", loss " + loss[i]);
        if (u.outcome == Outcome::Completed) {
            EXPECT_EQ(u.messages, std::vector<std::string>{"Data transmit finish"});
            EXPECT_TRUE(got == images[i]);
        } else {
            EXPECT_EQ(u.outcome, Outcome::TimedOut);
            EXPECT_EQ(u.messages, std::vector<std::string>{"Time Out"});
        }
        std::printf("seed %d, loss %s: %s after %.1f s, %zu of %zu bytes on the server\n", i + 1, loss[i],
                    u.outcome == Outcome::Completed ? "completed" : "timed out", u.transferSeconds(),
                    got ? got->size() : 0, images[i].size());
    }
}

} // namespace
} // namespace fw::test
