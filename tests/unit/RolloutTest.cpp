// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"
#include "cli/DeviceReport.h"
#include "upgrade/DeviceList.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

constexpr MacAddress kMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};

// --device, --from, --parallel, --back-timeout, --report and --no-restart run in the rollout command tests.
TEST(Rollout, CommandLineChoosesTheFormByTheDeviceOptions) {
    const auto parsed =
        cli::parseCommandLine({"fernwick-cli", "upgrade", "fw.bin", "--all-ap", "--dry-run", "-f", "json"});
    ASSERT_EQ(parsed.kind, cli::ParsedCommandLine::Kind::Run) << parsed.text;
    const auto& r = std::get<cli::RolloutCommand>(*parsed.command);
    EXPECT_TRUE(r.image == "fw.bin" && r.allAp && !r.allBridge && r.dryRun);
    EXPECT_EQ(r.format, cli::OutputFormat::Json);
    // A rollout option without a device choice would silently upgrade one device: refused.
    const std::pair<std::vector<std::string>, const char*> errors[] = {
        {{"fernwick-cli", "upgrade", "10.77.1.10", "fw.bin", "--report", "r.json"},
         "--report needs --device"},
        {{"fernwick-cli", "upgrade", "10.77.1.10", "fw.bin", "--format", "json"}, "--format needs --device"},
        {{"fernwick-cli", "upgrade", "fw.bin", "--all-ap", "--format", "csv"},
         "'csv' is not one of table, json"},
        {{"fernwick-cli", "upgrade", "fw.bin", "x.bin", "--all-ap"}, "'x.bin'"},
        {{"fernwick-cli", "upgrade", "fw.bin", "--all-bridge", "--parallel", "177"}, "'177'"},
        {{"fernwick-cli", "upgrade", "fw.bin", "--all-bridge", "--per-adapter", "17"}, "'17'"},
        {{"fernwick-cli", "upgrade", "fw.bin", "--from", ""},
         "--from: the file name is empty"}, // not a search
    };
    for (const auto& [args, text] : errors) {
        const auto e = cli::parseCommandLine(args);
        EXPECT_EQ(e.kind, cli::ParsedCommandLine::Kind::Error) << text;
        EXPECT_NE(e.text.find(text), std::string::npos) << e.text;
    }
}

TEST(Rollout, DeviceListTakesAddressesAndMacsAndNamesTheBadLine) {
    const auto ok = parseDeviceList("\xEF\xBB\xBF# yard\n10.77.1.10  # mast\r\n\n  00-0A-1B-2C-3D-4E\n");
    EXPECT_EQ(ok.value(), (std::vector<DeviceTarget>{Ipv4{{10, 77, 1, 10}}, kMac}));
    const auto bad = parseDeviceList("10.77.1.10\n\n10.77.1.300\n");
    EXPECT_EQ(cli::deviceListProblemText(bad.error()),
              "line 3: '10.77.1.300' is neither an IPv4 address nor a MAC address");
    EXPECT_EQ(parseDeviceList("# nothing yet\n\n").error().error, DeviceListError::NoDevice);
    const DeviceTarget ip = Ipv4{{10, 77, 1, 99}};
    EXPECT_EQ(uniqueTargets({ip, kMac, ip}), (std::vector<DeviceTarget>{ip, kMac}));
}

} // namespace
} // namespace fw
