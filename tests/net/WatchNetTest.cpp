// SPDX-License-Identifier: GPL-3.0-or-later
// watch beside another command, in the lab's workstation namespace: both take the real port 4001 in
// turn. What a watch says is tested over fake endpoints (tests/unit/commands).
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <gtest/gtest.h>

#include <csignal>

namespace fw {
namespace {

using test::cli;
using test::CliProcess;
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

} // namespace
} // namespace fw
