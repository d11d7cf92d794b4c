// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MetricsText.h"

#include "cli/WatchMetrics.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fw::cli {
namespace {

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

const AdapterTable kAdapters{{ip("10.77.1.1"), ip("255.255.255.0"), ip("0.0.0.0"), {}, "eth0", 2},
                             {ip("10.77.2.1"), ip("255.255.255.0"), ip("0.0.0.0"), {}, "eth1", 3}};

DeviceRow row(std::string name, const char* at, std::uint8_t macTail, const char* adapter) {
    return {std::move(name),         ip(at),     "ess\"1", 6, true, {0, 0x0A, 0x1B, 0, 0xC0, macTail},
            DeviceKind::AccessPoint, ip(adapter)};
}

DeviceInventory::Event event(DeviceInventory::EventKind kind, const DeviceRow& device) {
    DeviceInventory::Event e;
    e.kind = kind;
    e.devices = {device};
    return e;
}

// The family's samples, without its HELP and TYPE.
std::vector<std::string> linesOf(const std::string& text, const std::string& family) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(family + "{") || line.starts_with(family + " ")) {
            out.push_back(line);
        }
    }
    return out;
}

// A device's name is whatever it sends: 8-bit Latin-1 with quotes, backslashes and line breaks;
// the vendor is the registries' UTF-8, escaped the same way.
// An adapter whose port 4001 another program holds searched nothing: success 0. A device the watch
// no longer knows is 0, not dropped. Series come in MAC order.
TEST(MetricsText, WatchMetricsFollowSearchesAndFailures) {
    using enum DeviceInventory::EventKind;
    auto opened = WatchMetrics::open(WatchCommand{});
    ASSERT_TRUE(opened);
    WatchMetrics& m = **opened;
    const auto a = row("Caf\xE9 \"A\"\\\nB", "10.77.1.10", 0xAB, "10.77.1.1");
    const auto b = row("", "10.77.2.10", 0x05, "10.77.2.1");
    const auto none = [](Ipv4) {
        return false;
    };
    const std::array registry{std::string_view("MA-L,000A1B,\"Stream \"\"Labs\"\" \\ Co\",\n")};
    const VendorTable vendors = VendorTable::fromRegistries(registry);
    const auto now = std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000123));
    SearchSummary first;
    first.rows = {a, b, row("c", "10.77.1.10", 3, "10.77.1.1")}; // c answers from a's address
    m.searched({a, b}, first, kAdapters, kAdapters, {event(Appeared, a), event(New, b)},
               std::chrono::milliseconds(1500), now, none, vendors);

    SearchSummary second;
    second.rows = {a};
    SocketError taken{SocketError::Kind::PortInUse, std::make_error_code(std::errc::address_in_use),
                      kAdapters[1]};
    second.started.unbindable = {taken};
    m.searched({a}, second, kAdapters, kAdapters, {event(Gone, b)}, std::chrono::milliseconds(500),
               now + std::chrono::seconds(10), none, vendors);
    const std::string text = metricsText(m.snapshot());
    EXPECT_EQ(
        linesOf(text, "fernwick_device_info"),
        (std::vector<std::string>{
            R"(fernwick_device_info{mac="00:0a:1b:00:c0:05",name="",ip="10.77.2.10",essid="ess\"1",channel="6",wep="on",kind="ap",vendor="Stream \"Labs\" \\ Co"} 1)",
            "fernwick_device_info{mac=\"00:0a:1b:00:c0:ab\",name=\"Caf\xC3\xA9 "
            "\\\"A\\\"\\\\\\nB\",ip=\"10.77.1.10\","
            "essid=\"ess\\\"1\",channel=\"6\",wep=\"on\",kind=\"ap\","
            R"(vendor="Stream \"Labs\" \\ Co"} 1)"}));
    EXPECT_EQ(linesOf(text, "fernwick_device_up"),
              (std::vector<std::string>{R"(fernwick_device_up{mac="00:0a:1b:00:c0:05",adapter="eth1"} 0)",
                                        R"(fernwick_device_up{mac="00:0a:1b:00:c0:ab",adapter="eth0"} 1)"}));
    EXPECT_NE(text.find(R"(seconds{mac="00:0a:1b:00:c0:ab"} 1700000010.123)"), std::string::npos);
    EXPECT_EQ(linesOf(text, "fernwick_search_success"),
              (std::vector<std::string>{R"(fernwick_search_success{adapter="eth0"} 1)",
                                        R"(fernwick_search_success{adapter="eth1"} 0)"}));
    for (const char* counted : {"appeared\"} 1", "new\"} 1", "gone\"} 1", "back\"} 0"}) { // back: there at 0
        EXPECT_NE(text.find("fernwick_events_total{event=\"" + std::string(counted) + "\n"),
                  std::string::npos);
    }
    EXPECT_NE(text.find("fernwick_warnings{type=\"duplicate-ip\"} 0\n"), std::string::npos); // cleared

    m.unsearched();
    EXPECT_EQ(linesOf(metricsText(m.snapshot()), "fernwick_search_success"),
              (std::vector<std::string>{R"(fernwick_search_success{adapter="eth0"} 0)",
                                        R"(fernwick_search_success{adapter="eth1"} 0)"}));
}

} // namespace
} // namespace fw::cli
