// SPDX-License-Identifier: GPL-3.0-or-later
// watch beside another command, in the lab's workstation namespace: both take the real port 4001 in
// turn. What a watch says is tested over fake endpoints (tests/unit/commands).
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

namespace fw {
namespace {

using test::cli;
using test::CliProcess;
using test::fileBytes;
using test::NetLab;
using test::waitUntil;

TEST(WatchNet, SetIpFindsPort4001FreeBetweenTheWatchsSearches) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:02", "ip": "10.77.1.11"}]})");
    CliProcess watch(lab, {"watch", "--interval", "1", "--format", "jsonl"});
    ASSERT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"appeared\""); }, 8000));
    NetLab::Outcome moved;
    for (int i = 0; i < 10 && moved.status != 0; ++i) { // a try may meet one of its searches
        moved = cli(lab, {"set-ip", "00-0A-1B-00-00-02", "--ip", "10.77.1.30", "--mask", "255.255.255.0",
                          "-i", "eth0", "-t", "0.5"});
        EXPECT_TRUE(moved.status == 0 || moved.status == 2) << moved.err.toStdString();
    }
    ASSERT_EQ(moved.status, 0);
    EXPECT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"changed\""); }, 8000))
        << watch.outSoFar().toStdString();
    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(5000).status, 0);
}

// With an inventory, a hook hears one device new, gone, then back, in that order; each call sleeps
// past its time-out, and the searches go on meanwhile. The inventory's folder turns read-only while the
// device is away: that save fails, the old file stays, and the watch goes on and saves again later.
TEST(WatchNet, HookHearsNewGoneBackWhileTheSearchesGoOn) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:02", "ip": "10.77.1.11"}]})");
    const QString heard = lab.dir() + "/heard";
    const QString hook = lab.writeFile("hook.sh", "echo \"$FERNWICK_EVENT $FERNWICK_MAC\" >> " +
                                                      heard.toUtf8() + "\nexec sleep 30\n");
    const QString folder = lab.dir() + "/inventory";
    const QString inventory = folder + "/inventory.json";
    ASSERT_TRUE(QDir().mkpath(folder));
    // Without CAP_DAC_OVERRIDE root obeys the folder's mode like anyone else.
    CliProcess watch(lab,
                     {"watch", "--interval", "0.5", "--missed", "1", "--format", "jsonl", "--inventory",
                      inventory, "--on-event", "sh " + hook, "--on-event-timeout", "2"},
                     {"setpriv", "--bounding-set=-dac_override,-dac_read_search"});
    ASSERT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"new\""); }, 8000));
    const auto saved = fileBytes(inventory);
    ASSERT_TRUE(saved.has_value());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    lab.sh("a", "ip link set eth0 down");
    // The hook for "new" still sleeps: a search that waited for it would come 2 s late.
    EXPECT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"gone\""); }, 1500));
    EXPECT_EQ(fileBytes(inventory), saved);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    lab.sh("a", "ip link set eth0 up");
    EXPECT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"back\""); }, 3000));
    EXPECT_TRUE(waitUntil([&] { return fileBytes(heard).value_or(std::vector<std::uint8_t>{}).size() >= 68; },
                          12000));
    const auto bytes = fileBytes(heard).value_or(std::vector<std::uint8_t>{});
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "new 00-0A-1B-00-00-02\ngone 00-0A-1B-00-00-02\nback 00-0A-1B-00-00-02\n");
    watch.signal(SIGINT);
    const auto ended = watch.wait(8000);
    EXPECT_EQ(ended.status, 0);
    EXPECT_TRUE(
        ended.err.contains("'sh' did not end within 2 s and was ended (the new event of 00-0A-1B-00-00-02)"))
        << ended.err.toStdString();
    EXPECT_TRUE(
        ended.err.contains("could not be saved: Permission denied; the file keeps what it held before"))
        << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains("the inventory is saved again")) << ended.err.toStdString();
    EXPECT_NE(fileBytes(inventory), saved);
}

} // namespace
} // namespace fw
