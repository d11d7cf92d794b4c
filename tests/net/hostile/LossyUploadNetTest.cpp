// Uploads through a seeded relay that loses, duplicates and reorders datagrams in front of
// tftpd-hpa. Whatever the relay does, an upload either completes with the stored file identical to
// the image, ends with "Time Out", or (a late duplicate ACK of an older block) stalls after sending
// ERROR 0 with the dialog left open for Cancel. It never reports success for anything else.
#include "net/discovery/SimulatorLog.h"
#include "net/upgrade/LabUpload.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <QFileInfo>

namespace fw::test {
namespace {

struct LossCase {
    const char* name;
    const char* seed;
    const char* loss;
    const char* duplicate;
    const char* reorder;
    bool mayTimeOut; // with this much loss, seven time-outs in one transfer are likely
};

// All run in parallel in one lab, so the 13-second start sequence is paid once; each device has
// its own relay and server, and each upload its own workstation address.
TEST(LossyUpload, CompletesByteIdenticalOrTimesOutNeverAFalseSuccess) {
    const std::vector<LossCase> cases{
        {"Duplicates", "11", "0", "0.10", "0", false},
        {"Reordering", "12", "0", "0", "0.10", false},
        {"LittleOfEverything", "13", "0.01", "0.05", "0.05", true},
        {"MuchOfEverything", "14", "0.05", "0.10", "0.10", true},
        {"HeavyLoss", "15", "0.30", "0.05", "0.05", true},
    };
    constexpr std::size_t kImageSize = 200 * 1024 + 17;
    NetLab lab;
    std::vector<QString> roots;
    std::vector<QString> relayLogs;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string host = "d" + std::to_string(i);
        const QString address = QString("10.77.1.%1").arg(10 + i);
        lab.addHost(host, "a", address.toStdString() + "/24");
        roots.push_back(startTftpd(lab, host, {"-a", "127.0.0.1:69"}));
        relayLogs.push_back(QDir(lab.dir()).filePath(QString::fromStdString(host) + "-relay.jsonl"));
        lab.spawn(host, {NetLab::binaryPath("tools/devsim/lossy-relay"), "--listen", address, "--server",
                         "127.0.0.1:69", "--seed", cases[i].seed, "--loss", cases[i].loss, "--duplicate",
                         cases[i].duplicate, "--reorder", cases[i].reorder, "--idle", "120", "--log",
                         relayLogs.back()});
        if (i > 0) {
            ASSERT_EQ(
                lab.run("ws", {"ip", "addr", "add", QString("10.77.1.%1/24").arg(1 + i), "dev", "eth0"}), 0);
        }
    }
    for (const QString& log : relayLogs) {
        ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, 10000))
            << qPrintable(log);
    }
    lab.enterWorkstation();

    std::vector<std::unique_ptr<LabUpload>> uploads;
    std::vector<std::vector<std::uint8_t>> images;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        images.push_back(labImage(kImageSize, static_cast<std::uint32_t>(100 + i)));
        uploads.push_back(std::make_unique<LabUpload>());
        uploads.back()->driver.begin("10.77.1." + std::to_string(10 + i), "10.77.1." + std::to_string(1 + i),
                                     images.back());
    }
    const auto settled = [](const LabUpload& u) {
        return u.ended() || u.driver.phase() == TftpUpload::Phase::Stalled;
    };
    // 13 s of start sequence, then at most seven time-outs of 3 s each.
    const bool allSettled = runUntil(
        [&] {
            return std::all_of(uploads.begin(), uploads.end(), [&](const auto& u) { return settled(*u); });
        },
        60000);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& u = *uploads[i];
        std::printf("%s: phase %d, bar %d, relay log %lld bytes\n", cases[i].name,
                    static_cast<int>(u.driver.phase()), u.driver.progress(),
                    static_cast<long long>(QFileInfo(relayLogs[i]).size()));
    }
    ASSERT_TRUE(allSettled);
    // A stalled transfer stays stalled: nothing moves it on its own (the server has given up).
    runUntil([] { return false; }, 4000);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const LabUpload& u = *uploads[i];
        const auto stored = fileBytes(QDir(roots[i]).filePath("fw.bin"));
        if (u.outcome == TftpUpload::Outcome::Completed) {
            EXPECT_EQ(u.messages, std::vector<std::string>{"Data transmit finish"});
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(stored->size(), images[i].size());
            EXPECT_TRUE(*stored == images[i]) << "success reported for a corrupted file";
        } else if (u.driver.phase() == TftpUpload::Phase::Stalled) {
            EXPECT_FALSE(u.ended());
            EXPECT_TRUE(u.messages.empty());
        } else {
            EXPECT_TRUE(cases[i].mayTimeOut) << "no loss, yet the upload did not complete";
            EXPECT_EQ(u.outcome, TftpUpload::Outcome::TimedOut);
            EXPECT_EQ(u.messages, std::vector<std::string>{"Time Out"});
        }
        std::printf("%s: %s\n", cases[i].name,
                    u.outcome == TftpUpload::Outcome::Completed ? "completed" : "Time Out");
    }
}

} // namespace
} // namespace fw::test
