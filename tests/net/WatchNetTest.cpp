// SPDX-License-Identifier: GPL-3.0-or-later
// watch and set-ip --verify end to end, in the lab's workstation namespace (eth0 on 10.77.1.0/24,
// eth1 on 10.77.2.0/24) against simulated devices.
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace fw {
namespace {

using test::cli;
using test::CliProcess;
using test::NetLab;
using test::simulatorEvents;
using test::waitUntil;

std::vector<QJsonObject> events(const QByteArray& jsonl) {
    std::vector<QJsonObject> out;
    for (const QByteArray& line : jsonl.split('\n')) {
        if (!line.isEmpty()) {
            out.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return out;
}

// The events of one kind, those of one device when the MAC is given.
std::size_t count(const std::vector<QJsonObject>& all, const char* kind, const char* mac = nullptr) {
    return std::count_if(all.begin(), all.end(), [&](const QJsonObject& e) {
        return e["event"] == kind && (mac == nullptr || e["device"]["mac"] == mac);
    });
}

TEST(WatchNet, AppearChangeGoneAndDuplicateAddressEachOnce) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.addHost("b", "b", "10.77.2.20/24");
    lab.addHost("c", "a", "10.77.1.30/24");
    lab.startSimulator("c", R"({"devices": [{"mac": "00:0A:1B:00:00:05", "ip": "10.77.1.30"}]})");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:01", "ip": "10.77.1.10"},
      {"mac": "00:0A:1B:00:00:02", "ip": "10.77.1.11"}]})");
    // Two devices on one address: a single search would list only the first to answer.
    lab.startSimulator("b", R"({"devices": [{"mac": "00:0A:1B:00:00:03", "ip": "10.77.2.20"},
      {"mac": "00:0A:1B:00:00:04", "ip": "10.77.2.20"}]})");

    CliProcess watch(lab, {"watch", "--interval", "1", "--missed", "4", "--format", "jsonl"});
    const auto seen = [&](const char* kind, std::size_t n) {
        return waitUntil([&] { return count(events(watch.outSoFar()), kind) >= n; }, 8000);
    };
    ASSERT_TRUE(seen("appeared", 5)) << watch.outSoFar().toStdString();
    ASSERT_TRUE(seen("duplicate-ip", 1));

    // 05 falls silent and 02 takes its address while 05 is still known: a replacement, no conflict.
    ASSERT_EQ(lab.run("c", {"ip", "link", "set", "eth0", "down"}), 0);

    // set-ip beside the watch: port 4001 is free between its searches (a try may meet one).
    NetLab::Outcome moved;
    for (int i = 0; i < 10 && moved.status != 0; ++i) {
        moved = cli(lab, {"set-ip", "00-0A-1B-00-00-02", "--ip", "10.77.1.30", "--mask", "255.255.255.0",
                          "-i", "eth0", "-t", "0.5"});
        EXPECT_TRUE(moved.status == 0 || moved.status == 2) << moved.err.toStdString();
    }
    ASSERT_EQ(moved.status, 0);
    ASSERT_TRUE(seen("changed", 1)) << watch.outSoFar().toStdString();
    lab.sh("ws", "ip addr del 10.77.2.1/24 dev eth1; ip addr add 10.77.2.5/24 dev eth1");
    ASSERT_TRUE(seen("adapter-changed", 1)) << watch.outSoFar().toStdString();
    QTest::qWait(1500); // the devices behind eth1 answer on its new address: no change of theirs

    ASSERT_EQ(lab.run("b", {"ip", "link", "set", "eth0", "down"}), 0);
    ASSERT_TRUE(seen("gone", 3)) << watch.outSoFar().toStdString();
    QTest::qWait(2500); // two more searches: nothing is said again

    watch.signal(SIGINT);
    const NetLab::Outcome end = watch.wait(5000);
    EXPECT_EQ(end.status, 0) << end.err.toStdString();
    const auto all = events(end.out);
    for (const auto& [kind, n] : std::vector<std::pair<const char*, std::size_t>>{
             {"appeared", 5}, {"duplicate-ip", 1}, {"changed", 1}, {"adapter-changed", 1}, {"gone", 3}}) {
        EXPECT_EQ(count(all, kind), n) << kind << "\n" << end.out.toStdString();
    }
    EXPECT_EQ(all.size(), 11u) << "nothing else, nothing twice";
    const auto first = [&](const char* kind) {
        return *std::find_if(all.begin(), all.end(), [&](const auto& e) { return e["event"] == kind; });
    };
    EXPECT_EQ(first("changed")["changes"].toObject(),
              (QJsonObject{{"ip", QJsonObject{{"old", "10.77.1.11"}, {"new", "10.77.1.30"}}}}));
    EXPECT_EQ(first("adapter-changed")["adapter"], "eth1");
    EXPECT_EQ(first("adapter-changed")["ip"].toObject(),
              (QJsonObject{{"old", "10.77.2.1"}, {"new", "10.77.2.5"}}));
    for (const QJsonObject& e : all) { // gone names the adapter, never an old address of it
        EXPECT_TRUE(e["event"] != "gone" || e["device"]["adapter"].toString().startsWith("eth"));
    }
    const QJsonObject dup = first("duplicate-ip");
    EXPECT_TRUE(dup["ip"] == "10.77.2.20" && dup["adapter"] == "eth1" &&
                dup["devices"].toArray().size() == 2);
    EXPECT_TRUE(all.front()["time"].toString().endsWith('Z'));
}

TEST(WatchNet, VerifiedSetIpTakesChecksAndRefuses) {
    NetLab lab;
    lab.addHost("d", "a", "10.77.1.10/24");
    const QString log = lab.startSimulator("d", R"({"devices": [
      {"mac": "00:0A:1B:00:00:11", "ip": "10.77.1.10"},
      {"mac": "00:0A:1B:00:00:12", "ip": "10.77.1.12", "setip": "pretend"},
      {"mac": "00:0A:1B:00:00:13", "ip": "10.77.1.13"}]})");
    const QStringList mask{"--mask", "255.255.255.0", "--verify"};

    const auto taken = cli(lab, QStringList{"set-ip", "00-0A-1B-00-00-11", "--ip", "10.77.1.13"} + mask);
    EXPECT_EQ(taken.status, 2);
    EXPECT_TRUE(taken.err.contains("10.77.1.13 is taken: 00-0A-1B-00-00-13 answers from it on eth0"))
        << taken.err.toStdString();
    // The workstation's address on its other adapter: refused, --force or not, verified or not.
    for (const QStringList& how :
         {mask + QStringList{"--force"}, QStringList{"--mask", "0.0.0.0", "-i", "eth0"}}) {
        const auto own = cli(lab, QStringList{"set-ip", "00-0A-1B-00-00-11", "--ip", "10.77.2.1"} + how);
        EXPECT_EQ(own.status, 2);
        EXPECT_TRUE(own.err.contains("10.77.2.1 is this host's own address on eth1"))
            << own.err.toStdString();
    }
    for (const QJsonObject& o : simulatorEvents(log, "rx")) {
        EXPECT_NE(o["kind"], "setip") << "nothing may be sent for a taken or own address";
    }

    const auto ok = cli(lab, QStringList{"set-ip", "00-0A-1B-00-00-11", "--ip", "10.77.1.50"} + mask);
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.startsWith("Set IP OK\nVerified: 00-0A-1B-00-00-11 answers from 10.77.1.50 on eth0"))
        << ok.out.toStdString();

    const auto stuck =
        cli(lab, QStringList{"set-ip", "00-0A-1B-00-00-12", "--ip", "10.77.1.51", "--verify-timeout", "1.5"} +
                     mask);
    EXPECT_EQ(stuck.status, 4) << stuck.err.toStdString();
    EXPECT_EQ(stuck.out, "Set IP OK\n");
    EXPECT_TRUE(stuck.err.contains("00-0A-1B-00-00-12 said OK but still answers from 10.77.1.12"))
        << stuck.err.toStdString();
}

// A plan: a taken address, an unchanged device, one that moves, a refusal, this host's second
// address; then a member that stays on another's new address, and a bad plan that sends nothing.
TEST(WatchNet, PlanSetsMovesAndLeavesAlone) {
    NetLab lab;
    lab.addHost("d", "a", "10.77.1.10/24");
    lab.sh("ws", "ip address add 10.77.1.5/24 dev eth0");
    const QString log = lab.startSimulator("d", R"({"devices": [
      {"mac": "00:0A:1B:00:00:21", "ip": "10.77.1.21"}, {"mac": "00:0A:1B:00:00:22", "ip": "10.77.1.22"},
      {"mac": "00:0A:1B:00:00:23", "ip": "10.77.1.23"}, {"mac": "00:0A:1B:00:00:24", "ip": "10.77.1.24"},
      {"mac": "00:0A:1B:00:00:25", "ip": "10.77.1.25", "setip": "refuse"}]})");
    const QString plan =
        lab.writeFile("plan.csv", "# site A\nMAC,ip,mask,gateway,label\n"
                                  "00-0A-1B-00-00-21,10.77.1.24,255.255.255.0,,taken\n"
                                  "00-0A-1B-00-00-22,10.77.1.22,255.255.255.0,,same\n"
                                  "00-0A-1B-00-00-23,10.77.1.60,255.255.255.0,10.77.1.1,moves\n"
                                  "00-0A-1B-00-00-25,dhcp,,,refuses\n"
                                  "00-0A-1B-00-00-26,10.77.1.5,255.255.255.0,,own\n");
    const QString report = lab.dir() + "/report.json";
    const QStringList run{"set-ip", "--plan", plan, "--verify", "--report", report, "--format", "json"};
    const auto first = cli(lab, run);
    EXPECT_EQ(first.status, 1) << first.err.toStdString();
    QStringList states;
    for (const auto value : QJsonDocument::fromJson(first.out).array()) {
        const QJsonObject row = value.toObject();
        states << row["state"].toString() + (row["old_ip"].isNull() ? "" : " " + row["old_ip"].toString());
    }
    EXPECT_EQ(states, (QStringList{"taken 10.77.1.21", "unchanged 10.77.1.22", "done 10.77.1.23",
                                   "refused 10.77.1.25", "host-address"}))
        << first.out.toStdString();
    std::size_t sent = 0;
    for (const QJsonObject& o : simulatorEvents(log, "rx")) {
        sent += o["kind"] == "setip" && !o.contains("ignored") ? 1 : 0;
    }
    EXPECT_EQ(sent, 2u) << "a request for the mover and the refuser only";

    // Resumed: the rows settled in the first run are carried over, the others judged again.
    const auto again = cli(lab, run + QStringList{"--skip-done", report});
    const QJsonArray rows = QJsonDocument::fromJson(again.out).array();
    EXPECT_TRUE(!rows[0]["earlier"].toBool() && rows[1]["earlier"].toBool() && rows[2]["earlier"].toBool())
        << again.out.toStdString();

    // 25 refuses to leave 10.77.1.25: 23 took it, but is not done while 25 answers from it too.
    const QString stays = lab.writeFile("stays.csv", "mac,ip,mask,gateway\n"
                                                     "00-0A-1B-00-00-23,10.77.1.25,255.255.255.0,\n"
                                                     "00-0A-1B-00-00-25,10.77.1.26,255.255.255.0,\n");
    const auto shared =
        cli(lab, {"set-ip", "--plan", stays, "--verify", "--verify-timeout", "2", "--format", "json"});
    EXPECT_EQ(shared.status, 1) << shared.err.toStdString();
    const QJsonArray sharedRows = QJsonDocument::fromJson(shared.out).array();
    EXPECT_TRUE(sharedRows.size() == 2 && sharedRows[0]["state"] == "taken" &&
                sharedRows[1]["state"] == "refused")
        << shared.out.toStdString();

    const QString bad =
        lab.writeFile("bad.csv", "mac,ip,mask,gateway\n00-0A-1B-00-00-23,10.77.1.61,255.255.255.0,\n"
                                 "00-0A-1B-00-00-24,10.77.1.61,255.255.255.0,\n");
    const auto refused = cli(lab, {"set-ip", "--plan", bad});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("bad.csv:3: 10.77.1.61 is planned for another device already (line 2)"))
        << refused.err.toStdString();
    EXPECT_EQ(simulatorEvents(log, "setip-applied").size(), 2u) << "the bad plan sent nothing";
}

} // namespace
} // namespace fw
