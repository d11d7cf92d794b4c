// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"
#include "upgrade/core/DeviceList.h"
#include "upgrade/core/RolloutBackCheck.h"
#include "upgrade/core/RolloutQueue.h"

#include <gtest/gtest.h>

#include <tuple>

namespace fw {
namespace {

constexpr MacAddress kMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr Ipv4 kA{{10, 77, 1, 1}};
constexpr Ipv4 kB{{10, 77, 2, 1}};

TEST(Rollout, CommandLineChoosesTheFormByTheDeviceOptions) {
    const auto parsed = cli::parseCommandLine(
        {"fernwick-cli", "upgrade", "fw.bin", "--device", "10.77.1.10", "--device", "00:0a:1b:2c:3d:4e",
         "--all-ap", "--parallel", "2", "--back-timeout", "0.5", "--report", "r.json", "--no-restart"});
    ASSERT_EQ(parsed.kind, cli::ParsedCommandLine::Kind::Run) << parsed.text;
    const auto& r = std::get<cli::RolloutCommand>(*parsed.command);
    EXPECT_EQ(r.image, "fw.bin");
    EXPECT_EQ(r.devices, (std::vector<DeviceTarget>{Ipv4{{10, 77, 1, 10}}, kMac}));
    EXPECT_TRUE(r.allAp && !r.allBridge);
    EXPECT_EQ(r.parallel, 2);
    EXPECT_EQ(r.backTimeout, std::chrono::milliseconds(500));
    EXPECT_EQ(r.report, "r.json");
    EXPECT_TRUE(r.noRestart);
    // A rollout option without a device choice would silently upgrade one device: refused.
    const std::pair<QStringList, const char*> errors[] = {
        {{"upgrade", "10.77.1.10", "fw.bin", "--report", "r.json"}, "--report needs --device"},
        {{"upgrade", "fw.bin", "x.bin", "--all-ap"}, "'x.bin'"},
        {{"upgrade", "fw.bin", "--from", "a", "--from", "b"}, "--from given more than once"},
        {{"upgrade", "fw.bin", "--all-bridge", "--parallel", "12"}, "'12'"},
        {{"upgrade", "fw.bin", "--from", ""}, "--from: the file name is empty"}, // not a search
        {{"upgrade", "fw.bin", "--all-ap", "--report", ""}, "--report: the file name is empty"},
    };
    for (const auto& [args, text] : errors) {
        const auto e = cli::parseCommandLine(QStringList{"fernwick-cli"} + args);
        EXPECT_EQ(e.kind, cli::ParsedCommandLine::Kind::Error) << args.join(' ').toStdString();
        EXPECT_NE(e.text.find(text), std::string::npos) << e.text;
    }
}

TEST(Rollout, DeviceListTakesAddressesAndMacsAndNamesTheBadLine) {
    const auto ok = parseDeviceList("# yard\n10.77.1.10  # mast\r\n\n  00-0A-1B-2C-3D-4E\n");
    EXPECT_EQ(std::get<std::vector<DeviceTarget>>(ok),
              (std::vector<DeviceTarget>{Ipv4{{10, 77, 1, 10}}, kMac}));
    const auto bad = parseDeviceList("10.77.1.10\n\n10.77.1.300\n");
    EXPECT_EQ(std::get<std::string>(bad),
              "line 3: '10.77.1.300' is neither an IPv4 address nor a MAC address");
    EXPECT_TRUE(std::holds_alternative<std::string>(parseDeviceList("# nothing yet\n\n")));
    const DeviceTarget ip = Ipv4{{10, 77, 1, 99}};
    EXPECT_EQ(uniqueTargets({ip, kMac, ip}), (std::vector<DeviceTarget>{ip, kMac}));
}

// Each row: whether the device restarts, then its searches: answered, ms after the upload, the state.
TEST(Rollout, BackCheckCountsAnAnswerOnlyAfterTheDeviceWentSilent) {
    using S = RolloutState;
    using Step = std::tuple<bool, int, std::optional<S>>;
    const std::pair<bool, std::vector<Step>> rows[] = {
        {true, {{true, 10, {}}, {false, 1500, {}}, {true, 2600, S::Done}}},
        {true, {{true, 10, {}}, {true, 5000, S::NotRestarted}}}, // the answer before the restart
        {true, {{false, 1000, {}}, {false, 5000, S::NotBack}}},
        {false, {{true, 10, S::Done}}},
        {false, {{false, 5000, S::NotBack}}},
    };
    for (const auto& [restarts, steps] : rows) {
        RolloutBackCheck check(restarts, std::chrono::milliseconds(5000));
        for (const auto& [answered, ms, state] : steps) {
            EXPECT_EQ(check.searched(answered, std::chrono::milliseconds(ms)), state) << ms;
        }
    }
}

// Devices 0 and 1 share adapter A: never at once, even with slots free; the order holds otherwise.
TEST(Rollout, QueueNeverRunsTwoUploadsOnOneAdapter) {
    RolloutQueue q({kA, kA, kB, kB}, 3);
    EXPECT_EQ(q.next(), 0u);
    EXPECT_EQ(q.next(), 2u);
    EXPECT_EQ(q.next(), std::nullopt);
    q.finished(2);
    EXPECT_EQ(q.next(), 3u);
    q.finished(0);
    EXPECT_EQ(q.next(), 1u);
    q.finished(1);
    q.finished(3);
    EXPECT_TRUE(q.over());
}

} // namespace
} // namespace fw
