// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NetLab.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// fernwick-cli upgrade as a rollout, in the lab's workstation namespace (eth0 on 10.77.1.0/24,
// eth1 on 10.77.2.0/24): three simulated access points with TFTP, one of which refuses the write
// request and one of which never restarts, then a resumed run once the first accepts.

namespace fw::test {
namespace {

QByteArray ap(const char* mac, const char* ip, const QString& store, const char* refusal = "") {
    return QByteArray(R"({"devices": [{"kind": "AP", "mac": ")") + mac + R"(", "ip": ")" + ip +
           R"(", "tftp": {"store": ")" + store.toUtf8() + "\"" + refusal + "}}]}";
}

QJsonArray reportDevices(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(f.readAll())["devices"].toArray();
}

double firstTime(const QString& log, const QString& event) {
    const auto events = simulatorEvents(log, event);
    return events.empty() ? -1 : events.front()["t"].toDouble();
}

TEST(RolloutNet, RefusalsSendNothingThenRestartedDoneRefusedNotRestartedAndAResumeThatKeepsTheDone) {
    NetLab lab;
    lab.addHost("d1", "a", "10.77.1.10/24");
    lab.addHost("d2", "a", "10.77.1.11/24");
    lab.addHost("d3", "b", "10.77.2.20/24");
    const QString store1 = lab.dir() + "/d1.bin", store2 = lab.dir() + "/d2.bin",
                  store3 = lab.dir() + "/d3.bin";
    // d1 restarts for 1 s after its image; d3 never does.
    const QString log1 =
        lab.startSimulator("d1", ap("00:0A:1B:00:00:01", "10.77.1.10", store1, R"(, "restart_ms": 1000)"));
    const QString log2 = lab.startSimulator(
        "d2", ap("00:0A:1B:00:00:02", "10.77.1.11", store2, R"(, "error_at": 0, "error_code": 2)"));
    const QString log3 = lab.startSimulator("d3", ap("00:0A:1B:00:00:03", "10.77.2.20", store3));
    const QByteArray image = firmwareImage(40000, "ap config", 7);
    const QString imagePath = lab.writeFile("fw.bin", image);
    const QString list = lab.writeFile("devices.txt", "10.77.1.10\n00-0a-1b-00-00-02  # the refusing one\n"
                                                      "10.77.2.20\n");
    const QString report = lab.dir() + "/report.json";
    const QString cli = NetLab::binaryPath("src/cli/fernwick-cli");
    auto rollout = [&](const QString& options) {
        return lab.runApart("ws", QStringList{cli, "upgrade", imagePath} + options.split(' '));
    };

    // A report that cannot be written or would replace an input, and one upgrade while another
    // program holds port 14321 on eth0: exit 2 at once, no handshake.
    for (const QString& bad : {lab.dir() + "/missing/r.json", imagePath, list}) {
        EXPECT_EQ(rollout("--from " + list + " --report " + bad).status, 2) << bad.toStdString();
    }
    lab.enterWorkstation();
    const int held = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{AF_INET, htons(14321), {htonl(0x0A4D0101)}, {}}; // 10.77.1.1
    ASSERT_EQ(::bind(held, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    const NetLab::Outcome busy = lab.runApart("ws", {cli, "upgrade", "10.77.1.10", imagePath});
    ::close(held);
    EXPECT_EQ(busy.status, 2);
    EXPECT_TRUE(busy.err.contains("UDP port 14321 on eth0 (10.77.1.1) is in use")) << busy.err.toStdString();
    EXPECT_TRUE(simulatorEvents(log1, "handshake").empty());

    const QString resume = QString(" --parallel 2 --back-timeout 4 --report %1 --skip-done %1").arg(report);
    const NetLab::Outcome first = rollout("--from " + list + resume);
    EXPECT_EQ(first.status, 1) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains("1 of 3 devices done")) << first.out.toStdString();
    const QJsonArray devices = reportDevices(report);
    ASSERT_EQ(devices.size(), 3) << first.err.toStdString();
    const char* const states[] = {"done", "refused", "not-restarted"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(devices[i]["state"], states[i]) << i;
        EXPECT_EQ(devices[i]["bytes"].toInt(), i == 1 ? 0 : image.size()) << i;
    }
    EXPECT_EQ(devices[1]["detail"], "Access violation.");
    EXPECT_GT(devices[0]["back_seconds"].toDouble(), 0.5); // its answer after the restart, not before
    const QString sha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
    ASSERT_EQ(simulatorEvents(log1, "tftp-done").size(), 1u);
    EXPECT_EQ(simulatorEvents(log1, "tftp-done").front()["sha256"], sha);
    // d1 and d3 are on different adapters and ran side by side; d2 shares d1's adapter, so its
    // handshake waited for d1 to be back from its restart.
    EXPECT_LT(firstTime(log3, "handshake"), firstTime(log1, "tftp-done"));
    EXPECT_GT(firstTime(log2, "handshake"), firstTime(log1, "restarted"));

    // The refusing device now accepts (and does not restart): a run that names it alone keeps d1.
    const auto ready = simulatorEvents(log2, "ready");
    ASSERT_FALSE(ready.empty());
    const QString proc = "/proc/" + QString::number(ready.front()["pid"].toInt()) + "/stat";
    ::kill(ready.front()["pid"].toInt(), SIGTERM);
    // Gone, not only logged its exit: until then it still holds the device's port 4000.
    ASSERT_TRUE(waitUntil(
        [&] {
            QFile stat(proc);
            return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        },
        5000));
    // The same log: the new simulator is ready once a second "ready" is there.
    lab.startSimulator("d2", ap("00:0A:1B:00:00:02", "10.77.1.11", store2));
    ASSERT_TRUE(waitUntil([&] { return simulatorEvents(log2, "ready").size() == 2; }, 15000));

    const NetLab::Outcome second = rollout("--device 00-0a-1b-00-00-02 --no-restart" + resume);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("2 of 2 devices done")) << second.out.toStdString();
    const QJsonArray after = reportDevices(report);
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0]["mac"], "00-0A-1B-00-00-02");
    EXPECT_EQ(after[1]["mac"], "00-0A-1B-00-00-01");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(after[i]["state"], "done") << i;
        EXPECT_EQ(after[i]["earlier"].toBool(), i == 1) << i;
    }
    EXPECT_EQ(simulatorEvents(log1, "handshake").size(), 1u);
    QFile stored(store2);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll() == image);
}

// Three devices on one adapter at once, all from its one port 14321: each gets the image whole.
TEST(RolloutNet, UploadsSharingOneAdaptersPortRunSideBySide) {
    NetLab lab;
    const QByteArray image = firmwareImage(400000, "ap config", 9);
    const QString imagePath = lab.writeFile("fw.bin", image);
    QStringList stores, logs;
    for (int i = 0; i < 3; ++i) {
        const QByteArray ip = "10.77.1." + QByteArray::number(10 + i),
                         mac = "00:0A:1B:00:00:1" + QByteArray::number(i);
        lab.addHost("d" + std::to_string(i), "a", ip.toStdString() + "/24");
        stores << lab.dir() + "/s" + QString::number(i);
        logs << lab.startSimulator("d" + std::to_string(i), ap(mac.constData(), ip.constData(), stores.back(),
                                                               R"(, "restart_ms": 500)"));
    }
    const NetLab::Outcome run =
        lab.runApart("ws", {NetLab::binaryPath("src/cli/fernwick-cli"), "upgrade", imagePath, "--all-ap",
                            "-i", "eth0", "--parallel", "3", "--per-adapter", "3", "--back-timeout", "10"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    double lastStart = 0, firstDone = 1e9;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fileBytes(stores[i]), std::vector<std::uint8_t>(image.begin(), image.end())) << i;
        lastStart = std::max(lastStart, firstTime(logs[i], "handshake"));
        firstDone = std::min(firstDone, firstTime(logs[i], "tftp-done"));
    }
    EXPECT_LT(lastStart, firstDone); // all three began before any ended
}

} // namespace
} // namespace fw::test
