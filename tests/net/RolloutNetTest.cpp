// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NetLab.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>

// fernwick-cli upgrade as a rollout, in the lab's workstation namespace (eth0 on 10.77.1.0/24,
// eth1 on 10.77.2.0/24): three simulated access points with TFTP, one of which refuses the write
// request, then a resumed run once it accepts.

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

TEST(RolloutNet, TwoDoneOneRefusedThenTheResumedRunUploadsOnlyTheRefusedOne) {
    NetLab lab;
    lab.addHost("d1", "a", "10.77.1.10/24");
    lab.addHost("d2", "a", "10.77.1.11/24");
    lab.addHost("d3", "b", "10.77.2.20/24");
    const QString store1 = lab.dir() + "/d1.bin", store2 = lab.dir() + "/d2.bin",
                  store3 = lab.dir() + "/d3.bin";
    const QString log1 = lab.startSimulator("d1", ap("00:0A:1B:00:00:01", "10.77.1.10", store1));
    const QString log2 = lab.startSimulator(
        "d2", ap("00:0A:1B:00:00:02", "10.77.1.11", store2, R"(, "error_at": 0, "error_code": 2)"));
    const QString log3 = lab.startSimulator("d3", ap("00:0A:1B:00:00:03", "10.77.2.20", store3));
    const QByteArray image = firmwareImage(40000, "ap config", 7);
    const QString imagePath = lab.writeFile("fw.bin", image);
    const QString list = lab.writeFile("devices.txt", "10.77.1.10\n00-0a-1b-00-00-02  # the refusing one\n"
                                                      "10.77.2.20\n");
    const QString report = lab.dir() + "/report.json";
    const QStringList rollout =
        QStringList{NetLab::binaryPath("src/cli/fernwick-cli"), "upgrade", imagePath} +
        QString("--from %1 --parallel 2 --back-timeout 5 --report %2 --skip-done %2")
            .arg(list, report)
            .split(' ');

    const NetLab::Outcome first = lab.runApart("ws", rollout);
    EXPECT_EQ(first.status, 1) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains("2 of 3 devices done")) << first.out.toStdString();
    const QJsonArray devices = reportDevices(report);
    ASSERT_EQ(devices.size(), 3) << first.err.toStdString();
    const char* const states[] = {"done", "refused", "done"};
    const char* const macs[] = {"00-0A-1B-00-00-01", "00-0A-1B-00-00-02", "00-0A-1B-00-00-03"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(devices[i]["state"], states[i]) << i;
        EXPECT_EQ(devices[i]["mac"], macs[i]);
        EXPECT_EQ(devices[i]["bytes"].toInt(), i == 1 ? 0 : image.size()) << i;
        EXPECT_EQ(devices[i]["retransmissions"].toInt(), 0) << i;
        EXPECT_FALSE(devices[i]["earlier"].toBool());
    }
    EXPECT_EQ(devices[1]["detail"], "Access violation.");
    const QString sha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
    for (const QString& log : {log1, log3}) {
        const auto done = simulatorEvents(log, "tftp-done");
        ASSERT_EQ(done.size(), 1u) << log.toStdString();
        EXPECT_EQ(done.front()["sha256"], sha);
    }
    // d1 and d3 are on different adapters and ran side by side; d2 shares d1's adapter, so its
    // handshake waited for d1 to be back.
    EXPECT_LT(firstTime(log3, "handshake"), firstTime(log1, "tftp-done"));
    EXPECT_GT(firstTime(log2, "handshake"), firstTime(log1, "tftp-done"));

    // The refusing device now accepts: the resumed run leaves out the two done ones.
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

    const NetLab::Outcome second = lab.runApart("ws", rollout);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("3 of 3 devices done")) << second.out.toStdString();
    const QJsonArray after = reportDevices(report);
    ASSERT_EQ(after.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(after[i]["state"], "done") << i;
        EXPECT_EQ(after[i]["earlier"].toBool(), i != 1) << i;
    }
    EXPECT_EQ(simulatorEvents(log1, "handshake").size(), 1u);
    EXPECT_EQ(simulatorEvents(log3, "handshake").size(), 1u);
    ASSERT_EQ(simulatorEvents(log2, "tftp-done").size(), 1u);
    QFile stored(store2);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll() == image);
}

} // namespace
} // namespace fw::test
