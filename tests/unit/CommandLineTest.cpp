// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

using Kind = ParsedCommandLine::Kind;

using Args = std::vector<std::string>;

ParsedCommandLine parse(Args args) {
    args.insert(args.begin(), "fernwick-cli");
    return parseCommandLine(args);
}

template <typename T> T commandOf(const Args& args) {
    const ParsedCommandLine p = parse(args);
    EXPECT_EQ(p.kind, Kind::Run) << p.text;
    if (!p.command || !std::holds_alternative<T>(*p.command)) {
        ADD_FAILURE() << "wrong command for " << testing::PrintToString(args);
        return T{};
    }
    return std::get<T>(*p.command);
}

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}
constexpr MacAddress kMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};

TEST(CommandLine, SetIpStaticAndDhcp) {
    const SetIpCommand s = commandOf<SetIpCommand>({"set-ip", "--ip", "10.77.1.77", "--mask", "255.255.255.0",
                                                    "00-0A-1B-2C-3D-4E", "-r", "0", "-t", "5"});
    EXPECT_EQ(s.mac, kMac);
    ASSERT_TRUE(s.address.has_value());
    EXPECT_EQ(*s.address, (FixedAddress{ip("10.77.1.77"), ip("255.255.255.0"), ip("0.0.0.0")}));
    EXPECT_EQ(s.retries, 0);
    EXPECT_EQ(s.timeout, std::chrono::seconds(5));

    // --name=value and -tVALUE are one argument each.
    const SetIpCommand g = commandOf<SetIpCommand>({"set-ip", "00:0a:1b:2c:3d:4e", "--ip=010.1.2.3", "--mask",
                                                    "0.0.0.0", "--gateway", "192.0.2.1", "-t0.5"});
    // Leading zeros are decimal, as the dialog's check reads them; a zero mask is not objected to.
    EXPECT_EQ(*g.address, (FixedAddress{ip("10.1.2.3"), ip("0.0.0.0"), ip("192.0.2.1")}));
    EXPECT_EQ(g.timeout, std::chrono::milliseconds(500));
}

TEST(CommandLine, UpgradeTargets) {
    const UpgradeCommand byMac =
        commandOf<UpgradeCommand>({"upgrade", "-y", "00-0A-1B-2C-3D-4E", "a b.bin", "-i", "eth1"});
    EXPECT_EQ(byMac.target, DeviceTarget(kMac));
    EXPECT_EQ(byMac.image, "a b.bin");
    EXPECT_TRUE(byMac.yes);
    EXPECT_EQ(byMac.interfaces, std::vector<std::string>{"eth1"});
    // A path from the root is a path on every system, not a Windows-style option.
    EXPECT_EQ(commandOf<UpgradeCommand>({"upgrade", "10.77.1.10", "/tmp/ap.bin"}).image, "/tmp/ap.bin");
}

TEST(CommandLine, TargetOptions) {
    const SearchCommand s = commandOf<SearchCommand>(
        {"search", "--target", "10.1.0.0/16", "--target=10.2.0.1-10.2.0.9", "--rate", "500", "--broadcast"});
    EXPECT_EQ(s.targets, (TargetOptions{{"10.1.0.0/16", "10.2.0.1-10.2.0.9"}, "", 500, false, true}));
    const RolloutCommand r =
        commandOf<RolloutCommand>({"upgrade", "fw.bin", "--all-ap", "--targets-from", "t.txt", "--force"});
    EXPECT_EQ(r.targets, (TargetOptions{{}, "t.txt", SweepPacer::kDefaultRate, true, false}));
    // set-ip's --force also lifts the cap, and needs no --verify then.
    EXPECT_TRUE(
        commandOf<SetIpCommand>({"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "--target", "10.1.2.3", "--force"})
            .targets.force);
}

// Every mistake is refused, and the message names what was wrong.
TEST(CommandLine, ErrorsNameTheBadText) {
    const std::pair<Args, const char*> cases[] = {
        {{}, "no command"},
        {{"serch"}, "'serch'"},
        {{"--frobnicate"}, "'--frobnicate'"},
        {{"search", "--bogus", "-t", "1", "-x"}, "Unknown options: bogus, x."},
        {{"search", "--timeout"}, "Missing value after '--timeout'."},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp=no"}, "Unexpected value after '--dhcp'."},
        {{"search", "extra"}, "'extra'"},
        {{"search", "/t:1"}, "'/t:1'"},
        {{"search", "-f", "json", "-f", "csv"}, "--format given more than once"},
        {{"doctor", "--format", "csv"}, "'csv' is not one of text, json"},
        {{"set-ip", "--dhcp"}, "MAC address is missing"},
        {{"set-ip", "00-0A-1B-2C-3D", "--dhcp"}, "'00-0A-1B-2C-3D' is not a MAC address"},
        {{"set-ip", "00-0A-1B-2C-3D-4E"}, "either --dhcp or --ip"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "--ip", "10.0.0.1"}, "cannot be combined"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--mask", "255.0.0.0"}, "--ip is missing"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--ip", "10.0.0.1", "--mask", "255.0.0.0", "--gateway", "10.0.0"},
         "--gateway '10.0.0'"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "-t", "nan"}, "'nan'"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "-t", "3601"}, "'3601'"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "-r", "-1"}, "'-1'"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "-r", "2.5"}, "'2.5'"},
        {{"set-ip", "00-0A-1B-2C-3D-4E", "--dhcp", "--force"}, "need --verify"},
        {{"watch", "--interval", "0.1"}, "'0.1'"},
        {{"upgrade", "10.0.0.1"}, "image file is missing"},
        {{"upgrade", "10.0.0.1", ""}, "image path is empty"},
        {{"upgrade", "10.0.0", "fw.bin"}, "'10.0.0' is neither"},
        {{"upgrade", "10.0.0.1", "fw.bin", "more.bin"}, "'more.bin'"},
        {{"search", "--rate", "10"}, "--rate needs --target"},
        {{"watch", "--broadcast"}, "--broadcast needs --target"},
        {{"upgrade", "10.0.0.1", "fw.bin", "--force"}, "--force needs --target"},
        {{"search", "--target", "10.0.0.1", "--rate", "0"}, "'0' is not a count from 1 to 1000000"},
        {{"search", "--targets-from="}, "file name is empty"},
    };
    for (const auto& [args, expected] : cases) {
        const ParsedCommandLine p = parse(args);
        EXPECT_EQ(p.kind, Kind::Error) << testing::PrintToString(args);
        EXPECT_NE(p.text.find(expected), std::string::npos)
            << testing::PrintToString(args) << " gave: " << p.text;
        EXPECT_FALSE(p.command.has_value());
    }
}

} // namespace
} // namespace fw::cli
