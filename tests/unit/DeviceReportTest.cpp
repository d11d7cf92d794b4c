// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DeviceReport.h"

#include "cli/PlanReport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fw::cli {
namespace {

const AdapterTable kAdapters{
    {Ipv4::parse("10.77.1.1"), Ipv4::parse("255.255.255.0"), Ipv4::parse("0.0.0.0"), {}, "eth0", 2},
    {Ipv4::parse("10.77.2.1"), Ipv4::parse("255.255.255.0"), Ipv4::parse("0.0.0.0"), {}, "eth1", 3}};

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}
DeviceRow row(std::string name, const char* at, std::string ess, std::uint8_t channel, bool wep,
              std::uint8_t macTail, bool ap, const char* adapter) {
    return {std::move(name),
            ip(at),
            std::move(ess),
            channel,
            wep,
            {0, 0x0A, 0x1B, 0, 0, macTail},
            ap ? DeviceKind::AccessPoint : DeviceKind::Bridge,
            ip(adapter)};
}

// Device texts are 8-bit: "\xE9" is é. The second name tries to break lines, fields and the terminal.
const std::vector<DeviceRow> kRows{
    row("Lobby AP", "10.77.1.10", "office", 6, true, 5, true, "10.77.1.1"),
    row("Caf\xE9, \"x\"\n\x1B[2J\\", "192.168.99.7", "a,b", 0, false, 3, false, "10.77.2.1"),
    row("", "10.77.9.9", "", 11, false, 4, false, "10.77.9.1"),
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "output must end with a newline";
    return out;
}

TEST(DeviceReport, CsvIsOneQuotedLinePerDevice) {
    const auto l = lines(formatDevices(kRows, kAdapters, OutputFormat::Csv));
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], "name,ip,essid,channel,wep,mac,kind,adapter,adapter_ip,vendor");
    EXPECT_EQ(l[1], "Lobby AP,10.77.1.10,office,6,Enabled,00-0A-1B-00-00-05,ap,eth0,10.77.1.1,");
    EXPECT_EQ(l[2], "\"Caf\xC3\xA9, \"\"x\"\"\\x0A\\x1B[2J\\\\\",192.168.99.7,\"a,b\",0,Disabled,"
                    "00-0A-1B-00-00-03,adapter,eth1,10.77.2.1,");
    EXPECT_EQ(l[3], ",10.77.9.9,,11,Disabled,00-0A-1B-00-00-04,adapter,10.77.9.1,10.77.9.1,");
    EXPECT_EQ(lines(formatDevices({}, kAdapters, OutputFormat::Csv)).size(), 1u);
}

TEST(DeviceReport, TableColumnsLineUpAndNoControlCharacterGetsOut) {
    const auto l = lines(formatDevices(kRows, kAdapters, OutputFormat::Table));
    ASSERT_EQ(l.size(), 4u);
    // Every column starts at the same place on every line (widths counted in characters, so é is one).
    const char* const ips[] = {"IP", "10.77.1.10", "192.168.99.7", "10.77.9.9"};
    const auto column = [](const std::string& line, const char* text) { // in characters
        const std::string before = line.substr(0, line.find(text));
        return std::count_if(before.begin(), before.end(), [](char c) { return (c & 0xC0) != 0x80; });
    };
    for (std::size_t i = 0; i < l.size(); ++i) {
        EXPECT_EQ(column(l[i], ips[i]), column(l[0], "IP")) << l[i];
        EXPECT_EQ(l[i].find_first_of("\x1B\n"), std::string::npos) << l[i];
        EXPECT_FALSE(l[i].ends_with(' ')) << l[i];
    }
    EXPECT_NE(l[2].find("Caf\xC3\xA9, \"x\"\\x0A\\x1B[2J\\\\"), std::string::npos) << l[2];
    EXPECT_EQ(l[0].substr(0, 4), "NAME");
}

TEST(DeviceReport, LatinOneControlsAreEscapedToo) {
    // C1 controls (the bytes Windows-1252 leaves undefined) act as escapes on some terminals; DEL
    // is invisible.
    EXPECT_EQ(printableText("a\x9D"
                            "b\x7F"
                            "c\xA0"),
              "a\\x9Db\\x7Fc\xC2\xA0");
}

// The devices' firmware writes Windows-1252: 0x80 is the euro sign and 0x96 an en dash in every
// format, not an escape or nothing.
TEST(DeviceReport, NamesAreWindows1252InEveryFormat) {
    const std::vector<DeviceRow> rows{
        row("5\x80 \x96 Caf\xE9", "10.77.1.10", "\x9F", 6, true, 5, true, "10.77.1.1")};
    const std::string name = "5\xE2\x82\xAC \xE2\x80\x93 Caf\xC3\xA9";
    const auto json = nlohmann::json::parse(formatDevices(rows, kAdapters, OutputFormat::Json));
    EXPECT_EQ(json.at(0).at("name"), name);
    EXPECT_EQ(json.at(0).at("essid"), "\xC5\xB8");
    for (const OutputFormat format : {OutputFormat::Json, OutputFormat::Csv, OutputFormat::Table}) {
        EXPECT_NE(formatDevices(rows, kAdapters, format).find(name), std::string::npos);
    }
}

// A plan's labels are the operator's UTF-8: "mât" is three columns wide, not four.
TEST(DeviceReport, PlanTableLinesUpUnderUtf8Labels) {
    std::vector<PlanEntry> entries(2);
    entries[0].row.label = "m\xC3\xA2t";
    entries[1].row.label = "roof";
    const auto l = lines(PlanReport::summary(entries));
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[1].find("not-found") - 1, l[2].find("not-found")) << l[1] << "\n" << l[2];
}

} // namespace
} // namespace fw::cli
