// SPDX-License-Identifier: GPL-3.0-or-later
#include "netif/core/AdapterRules.h"

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

TEST(AdapterRules, DialUpAndLinkRules) {
    using P = ListingPath;
    const auto linked = [](LinkFlags flags, std::string_view ip = "10.0.0.1") {
        AdapterFacts f = adapter("eth0", ip);
        f.link = flags;
        return f;
    };
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
        // Linux links: up, with an IPv4 address, on a broadcast segment.
        {linked({true, false, false}), P::Main, true},
        {linked({false, false, false}), P::Main, false},
        {linked({true, true, false}, "127.0.0.1"), P::Main, false},
        {linked({true, false, true}), P::Main, false},
        {linked({true, false, false}, ""), P::Main, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUsableAdapter(c.facts, c.path), c.usable)
            << '"' << c.facts.description << "\" ip " << toText(c.facts.ip)
            << (c.path == P::Main ? " main" : " fallback");
    }
}

TEST(AdapterRules, KeepsOrderAndFieldsOfUsableAdapters) {
    AdapterFacts first = adapter("Intel PRO/100", "10.1.0.5", 2);
    first.mask = Ipv4::parse("255.255.0.0");
    first.gateway = Ipv4::parse("10.1.0.1");
    AdapterFacts second = adapter("Realtek", "192.168.7.3", 5);
    second.gateway.reset();
    second.mac = {0x02, 0xFE, 0, 0, 2, 1};

    const AdapterSelection s =
        selectAdapters({true, ListingPath::Main, {first, adapter("PPP Adapter. (modem)"), second}});
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0], (AdapterEntry{first.ip, first.mask, first.gateway, first.mac, "if2", 2}));
    // No gateway known: 0.0.0.0, never an empty box.
    EXPECT_EQ(s.table[1], (AdapterEntry{second.ip, second.mask, Ipv4::any(), second.mac, "if5", 5}));
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

TEST(AdapterRules, StopsAtElevenEntries) {
    std::vector<AdapterFacts> many;
    for (int i = 1; i <= 14; ++i) {
        many.push_back(adapter(i == 4 ? "PPP Adapter." : "NIC", "10.0.0." + std::to_string(i), i));
    }
    for (ListingPath path : {ListingPath::Main, ListingPath::Fallback}) {
        const AdapterSelection s = selectAdapters({true, path, many});
        ASSERT_EQ(s.table.size(), kMaxAdapters);
        // The skipped dial-up adapter does not use up a slot.
        EXPECT_EQ(s.table[3].interfaceIndex, 5);
        EXPECT_EQ(s.table.back().interfaceIndex, 12);
    }
}

TEST(AdapterRules, FatalOutcomes) {
    AdapterFacts down = adapter("eth0");
    down.link = LinkFlags{false, false, false};
    const struct {
        AdapterListing listing;
        AdapterOutcome outcome;
    } cases[] = {
        {{false, ListingPath::Main, {adapter("NIC")}}, AdapterOutcome::StatusError},
        {{false, ListingPath::Fallback, {adapter("NIC")}}, AdapterOutcome::NoAdapter},
        {{true, ListingPath::Main, {}}, AdapterOutcome::NoAdapter},
        {{true, ListingPath::Main, {down}}, AdapterOutcome::NoAdapter}, // every adapter ruled out
    };
    for (const auto& c : cases) {
        const AdapterSelection s = selectAdapters(c.listing);
        EXPECT_EQ(s.outcome, c.outcome) << "case " << (&c - cases);
        EXPECT_TRUE(s.table.empty()) << "case " << (&c - cases);
    }
}

} // namespace
} // namespace fw
