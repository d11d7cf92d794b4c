// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli with --target across a router: the workstation's eth0 (10.77.1.1) reaches
// segments c (10.77.3.0/24) and d (10.77.4.0/24) through the lab's router at 10.77.1.254.
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace fw {
namespace {

using test::cli;
using test::NetLab;
using test::simulatorEvents;

TEST(RoutedNet, SearchUpgradeAndVerifiedSetIpReachExactlyTheDevicesAnsweringByUnicast) {
    NetLab lab;
    lab.addRouter();
    lab.addHost("c", "c", "10.77.3.10/24");
    lab.addHost("d", "d", "10.77.4.10/24");
    const QString store = lab.dir() + "/c10.bin";
    const QString logC = lab.startSimulator("c", R"({"devices": [
      {"mac": "00:0A:1B:00:03:10", "ip": "10.77.3.10", "reply": "unicast",
       "tftp": {"store": ")" + store.toUtf8() + R"(", "restart_ms": 1000}},
      {"mac": "00:0A:1B:00:03:11", "ip": "10.77.3.11", "reply": "unicast"}]})");
    // 04:11 answers only by broadcast, which stays on segment d.
    const QString logD = lab.startSimulator("d", R"({"devices": [
      {"mac": "00:0A:1B:00:04:10", "ip": "10.77.4.10", "reply": "unicast"},
      {"mac": "00:0A:1B:00:04:11", "ip": "10.77.4.11", "reply": "broadcast"}]})");
    const QStringList targets{"--target", "10.77.3.0/24", "--target", "10.77.4.0/24"};

    const auto found = cli(lab, QStringList{"search", "--format", "json"} + targets);
    EXPECT_EQ(found.status, 0) << found.err.toStdString();
    std::map<std::string, std::string> listed; // MAC -> address
    const QJsonArray devices = QJsonDocument::fromJson(found.out).array();
    for (const auto& v : devices) {
        const QJsonObject d = v.toObject();
        listed[d["mac"].toString().toStdString()] = d["ip"].toString().toStdString();
        EXPECT_EQ(d["adapter"], "eth0") << found.out.toStdString();
    }
    EXPECT_EQ(listed, (std::map<std::string, std::string>{{"00-0A-1B-00-03-10", "10.77.3.10"},
                                                          {"00-0A-1B-00-03-11", "10.77.3.11"},
                                                          {"00-0A-1B-00-04-10", "10.77.4.10"}}));
    const auto rx = simulatorEvents(logD, "rx"); // the broadcast-only device was asked
    EXPECT_TRUE(std::any_of(rx.begin(), rx.end(), [](const QJsonObject& o) {
        return o["device"] == "00:0A:1B:00:04:11" && o["from"] == "10.77.1.1:4001";
    }));

    const QByteArray image = test::firmwareImage(40000, "ap config", 24);
    const auto upgraded =
        cli(lab, QStringList{"upgrade", lab.writeFile("fw.bin", image), "--device", "00-0A-1B-00-03-10"} +
                     targets);
    EXPECT_EQ(upgraded.status, 0) << upgraded.out.toStdString() << upgraded.err.toStdString();
    EXPECT_TRUE(test::fileBytes(store) == std::vector<std::uint8_t>(image.begin(), image.end()));

    const auto moved = cli(lab, QStringList{"set-ip", "00-0A-1B-00-03-11", "--ip", "10.77.3.50", "--mask",
                                            "255.255.255.0", "--gateway", "10.77.3.254", "--verify"} +
                                    targets);
    EXPECT_EQ(moved.status, 0) << moved.out.toStdString() << moved.err.toStdString();
    const auto applied = simulatorEvents(logC, "setip-applied");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied.front()["ip"], "10.77.3.50");

    // Run again at its old address, without --verify: the planned address is swept all the same.
    const auto again =
        cli(lab, {"set-ip", "--plan",
                  lab.writeFile("plan.csv", "mac,ip,mask,gateway\n"
                                            "00-0A-1B-00-03-11,10.77.3.50,255.255.255.0,10.77.3.254\n"),
                  "--target", "10.77.3.11"});
    EXPECT_EQ(again.status, 0) << again.out.toStdString() << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("unchanged")) << again.out.toStdString();
}

} // namespace
} // namespace fw
