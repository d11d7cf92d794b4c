// SPDX-License-Identifier: GPL-3.0-or-later
#include "netif/AdapterRules.h"

#include "discovery/TargetSet.h"
#include "setip/FixedAddressCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

AdapterFacts adapter(std::string description, std::string_view ip = "192.168.0.10", int index = 2) {
    return AdapterFacts{std::move(description),
                        Ipv4::parse(ip),
                        Ipv4::parse("255.255.255.0"),
                        Ipv4::parse("192.168.0.1"),
                        {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E},
                        "if" + std::to_string(index),
                        index,
                        std::nullopt};
}

// Linux links (up, IPv4, broadcast) are judged on real ones in LinuxAdapterSourceNet.
TEST(AdapterRules, DialUpRules) {
    using P = ListingPath;
    const struct {
        AdapterFacts facts;
        ListingPath path;
        bool usable;
    } cases[] = {
        // Main path: the first 12 characters decide, case-sensitively.
        {adapter("PPP Adapter."), P::Main, false},
        {adapter("PPP Adapter. #2"), P::Main, false},
        {adapter("PPP Adapter"), P::Main, true},
        {adapter("ppp adapter."), P::Main, true},
        {adapter("MS TCP Loopback interface"), P::Main, true},
        // Fallback path: only the exact names are skipped.
        {adapter("PPP Adapter."), P::Fallback, false},
        {adapter("PPP Adapter. #2"), P::Fallback, true},
        {adapter("MS TCP Loopback interface"), P::Fallback, false},
        {adapter("MS TCP Loopback interface "), P::Fallback, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUsableAdapter(c.facts, c.path), c.usable)
            << '"' << c.facts.description << "\" ip " << toText(c.facts.ip)
            << (c.path == P::Main ? " main" : " fallback");
    }
}

TEST(AdapterRules, FallbackPathKnowsNoGateway) {
    AdapterFacts noAddress = adapter("Unbound NIC", "");
    noAddress.mask.reset();
    const AdapterSelection s = selectAdapters({true, ListingPath::Fallback, {adapter("NIC"), noAddress}});
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0].gateway, Ipv4::any());
    // Counted and searched, but with no addresses of some other adapter.
    EXPECT_FALSE(s.table[1].ip || s.table[1].mask || s.table[1].gateway);
}

// A VPN's tunnel is searched only by a routed search, and then marked so that nothing broadcasts on it.
TEST(AdapterRules, TunnelsOnlyWhenAsked) {
    AdapterFacts wg = adapter("wg0", "10.8.0.2", 3);
    wg.link = LinkFlags{.up = true, .pointToPoint = true};
    AdapterFacts bare = wg;
    bare.ip.reset();
    const AdapterListing listing{true, ListingPath::Main, {adapter("NIC"), wg, bare}};
    EXPECT_EQ(selectAdapters(listing).table.size(), 1u);
    const AdapterSelection s = selectAdapters(listing, true);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_FALSE(s.table[0].tunnel);
    EXPECT_TRUE(s.table[1].tunnel);
    EXPECT_EQ(s.table[1].ip, wg.ip);
}

// An adapter's second address is the host's too: no device may be given it, and the ends of its
// subnet are refused as targets; a down or loopback adapter's addresses count as well.
TEST(AdapterRules, EveryAddressOfEveryAdapterIsTheHosts) {
    AdapterFacts eth = adapter("eth0", "10.77.1.1", 2);
    eth.moreAddresses = {{*Ipv4::parse("10.77.1.5"), *Ipv4::parse("255.255.255.0")},
                         {*Ipv4::parse("10.77.9.5"), *Ipv4::parse("255.255.255.0")}};
    eth.link = LinkFlags{.up = true};
    AdapterFacts down = adapter("eth1", "10.77.5.1", 3);
    down.link = LinkFlags{};
    AdapterFacts lo = adapter("lo", "127.0.0.1", 1);
    lo.link = LinkFlags{.up = true, .loopback = true};
    const AdapterSelection s = selectAdapters({true, ListingPath::Main, {lo, eth, down}});
    ASSERT_EQ(s.table.size(), 1u);
    EXPECT_EQ(s.table[0].ip, eth.ip); // searched on its first address alone
    EXPECT_EQ(s.hostAdapters.size(), 3u);
    const std::vector<std::pair<const char*, const char*>> holders{{"10.77.1.1", "if2"}, {"10.77.1.5", "if2"},
                                                                   {"10.77.9.5", "if2"}, {"10.77.5.1", "if3"},
                                                                   {"127.0.0.1", "if1"}, {"10.77.1.6", "-"}};
    for (const auto& [address, holder] : holders) {
        const AdapterEntry* e = adapterHolding(s.hostAdapters, *Ipv4::parse(address));
        EXPECT_EQ(e == nullptr ? std::string("-") : e->interfaceName, holder) << address;
    }
    const std::vector<std::pair<const char*, std::optional<TargetError>>> targets{
        {"10.77.9.255", TargetError::SubnetBroadcast},
        {"10.77.9.0", TargetError::SubnetNetwork},
        {"10.77.9.7", std::nullopt}};
    for (const auto& [text, error] : targets) {
        const auto made = TargetSet::make({{*parseTarget(text), 1, text}}, s.table, false);
        EXPECT_EQ(made ? std::nullopt : std::optional(made.error().at(0).error), error) << text;
    }
    EXPECT_FALSE(TargetSet::make({{*parseTarget("10.77.9.0/24"), 1, {}}}, s.table, false)
                     ->covers(*Ipv4::parse("10.77.9.255")));
}

TEST(AdapterRules, TakesEveryUsableAdapter) {
    std::vector<AdapterFacts> many;
    for (int i = 1; i <= 14; ++i) {
        many.push_back(adapter(i == 4 ? "PPP Adapter." : "NIC", "10.0.0." + std::to_string(i), i));
    }
    for (ListingPath path : {ListingPath::Main, ListingPath::Fallback}) {
        const AdapterSelection s = selectAdapters({true, path, many});
        ASSERT_EQ(s.table.size(), 13u);
        EXPECT_EQ(s.table[3].interfaceIndex, 5);
        EXPECT_EQ(s.table.back().interfaceIndex, 14);
    }
}

// An unreadable main listing and every link down: LinuxAdapterSourceTest and LinuxAdapterSourceNet.
TEST(AdapterRules, FatalOutcomes) {
    const struct {
        AdapterListing listing;
        AdapterOutcome outcome;
    } cases[] = {
        {{false, ListingPath::Fallback, {adapter("NIC")}}, AdapterOutcome::NoAdapter},
        {{true, ListingPath::Main, {}}, AdapterOutcome::NoAdapter},
    };
    for (const auto& c : cases) {
        const AdapterSelection s = selectAdapters(c.listing);
        EXPECT_EQ(s.outcome, c.outcome) << "case " << (&c - cases);
        EXPECT_TRUE(s.table.empty()) << "case " << (&c - cases);
    }
}

} // namespace
} // namespace fw
