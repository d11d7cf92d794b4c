// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli with --target across a router: the workstation's eth0 (10.77.1.1) reaches
// segments c (10.77.3.0/24) and d (10.77.4.0/24) through the lab's router at 10.77.1.254. One
// lab for every case, which run in order: the set-ip case moves a device.
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace fw {
namespace {

using test::cli;
using test::NetLab;
using test::simulatorEvents;

const QStringList kTargets{"--target", "10.77.3.0/24", "--target", "10.77.4.0/24"};

class RoutedNet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lab_ = std::make_unique<NetLab>();
        lab_->addRouter();
        lab_->addHost("c", "c", "10.77.3.10/24");
        lab_->addHost("d", "d", "10.77.4.10/24");
        store_ = lab_->dir() + "/c10.bin";
        logC_ = lab_->startSimulator("c", R"({"devices": [
          {"mac": "00:0A:1B:00:03:10", "ip": "10.77.3.10", "reply": "unicast", "tftp": {"store": ")" +
                                              store_.toUtf8() + R"(", "restart_ms": 1000}},
          {"mac": "00:0A:1B:00:03:11", "ip": "10.77.3.11", "reply": "unicast"}]})");
        // 04:11 answers only by broadcast, which stays on segment d.
        logD_ = lab_->startSimulator("d", R"({"devices": [
          {"mac": "00:0A:1B:00:04:10", "ip": "10.77.4.10", "reply": "unicast"},
          {"mac": "00:0A:1B:00:04:11", "ip": "10.77.4.11", "reply": "broadcast"}]})");
    }
    static void TearDownTestSuite() { lab_.reset(); }

    static inline std::unique_ptr<NetLab> lab_;
    static inline QString store_, logC_, logD_;
};

TEST_F(RoutedNet, SearchListsExactlyTheDevicesAnsweringByUnicast) {
    const auto r = cli(*lab_, QStringList{"search", "--format", "json"} + kTargets);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    std::map<std::string, std::string> found; // MAC -> address
    const QJsonArray devices = QJsonDocument::fromJson(r.out).array();
    for (const auto& v : devices) {
        const QJsonObject d = v.toObject();
        found[d["mac"].toString().toStdString()] = d["ip"].toString().toStdString();
        EXPECT_EQ(d["adapter"], "eth0") << r.out.toStdString();
    }
    EXPECT_EQ(found, (std::map<std::string, std::string>{{"00-0A-1B-00-03-10", "10.77.3.10"},
                                                         {"00-0A-1B-00-03-11", "10.77.3.11"},
                                                         {"00-0A-1B-00-04-10", "10.77.4.10"}}))
        << r.out.toStdString();
    // The broadcast-only device was asked, and its answer did not cross the router.
    bool asked = false;
    for (const QJsonObject& rx : simulatorEvents(logD_, "rx")) {
        asked |= rx["device"] == "00:0A:1B:00:04:11" && rx["from"] == "10.77.1.1:4001";
    }
    EXPECT_TRUE(asked);
}

TEST_F(RoutedNet, UpgradeOfARoutedDeviceIsByteIdentical) {
    const QByteArray image = test::firmwareImage(40000, "ap config", 24);
    const QString path = lab_->writeFile("fw.bin", image);
    const auto r = cli(*lab_, QStringList{"upgrade", path, "--device", "00-0A-1B-00-03-10"} + kTargets);
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(test::fileBytes(store_), std::vector<std::uint8_t>(image.begin(), image.end()));
}

TEST_F(RoutedNet, SetIpAcrossTheRouterIsVerifiedAtTheNewAddress) {
    const auto r = cli(*lab_, QStringList{"set-ip", "00-0A-1B-00-03-11", "--ip", "10.77.3.50", "--mask",
                                          "255.255.255.0", "--gateway", "10.77.3.254", "--verify"} +
                                  kTargets);
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    const auto applied = simulatorEvents(logC_, "setip-applied");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied.front()["ip"], "10.77.3.50");
}

} // namespace
} // namespace fw
