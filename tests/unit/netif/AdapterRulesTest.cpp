#include "netif/core/AdapterRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

AdapterFacts adapter(std::string description, std::string ip = "192.168.0.10",
                     std::string gateway = "192.168.0.1") {
    AdapterFacts f;
    f.description = std::move(description);
    f.ip = std::move(ip);
    f.mask = "255.255.255.0";
    f.gateway = std::move(gateway);
    f.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    f.interfaceName = "if0";
    f.interfaceIndex = 2;
    return f;
}

AdapterListing listing(ListingPath path, std::vector<AdapterFacts> adapters) {
    return AdapterListing{true, path, std::move(adapters)};
}

struct DescriptionCase {
    const char* description;
    ListingPath path;
    bool usable;
};

class DescriptionRule : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionRule, SkipsDialUpByPath) {
    const DescriptionCase& c = GetParam();
    EXPECT_EQ(isUsableAdapter(adapter(c.description), c.path), c.usable) << '"' << c.description << '"';
}

INSTANTIATE_TEST_SUITE_P(Descriptions, DescriptionRule,
                         ::testing::Values(
                             // Main path: the first 12 characters decide, case-sensitively.
                             DescriptionCase{"PPP Adapter.", ListingPath::Main, false},
                             DescriptionCase{"PPP Adapter. #2", ListingPath::Main, false},
                             DescriptionCase{"PPP Adapter", ListingPath::Main, true},
                             DescriptionCase{"ppp adapter.", ListingPath::Main, true},
                             DescriptionCase{" PPP Adapter.", ListingPath::Main, true},
                             DescriptionCase{"MS TCP Loopback interface", ListingPath::Main, true},
                             DescriptionCase{"", ListingPath::Main, true},
                             // Fallback path: only the exact names are skipped.
                             DescriptionCase{"PPP Adapter.", ListingPath::Fallback, false},
                             DescriptionCase{"PPP Adapter. #2", ListingPath::Fallback, true},
                             DescriptionCase{"MS TCP Loopback interface", ListingPath::Fallback, false},
                             DescriptionCase{"MS TCP Loopback interface ", ListingPath::Fallback, true},
                             DescriptionCase{"Ethernet", ListingPath::Fallback, true}));

struct LinkCase {
    const char* what;
    LinkFlags flags;
    std::string ip;
    bool usable;
};

TEST(LinkRule, LinuxFlagsDecideOnBothPaths) {
    const std::vector<LinkCase> cases{
        {"up ethernet", {true, false, false}, "10.0.0.1", true},
        {"down", {false, false, false}, "10.0.0.1", false},
        {"loopback", {true, true, false}, "127.0.0.1", false},
        {"point-to-point", {true, false, true}, "10.9.0.1", false},
        {"no IPv4 address", {true, false, false}, "", false},
    };
    for (const LinkCase& c : cases) {
        for (ListingPath path : {ListingPath::Main, ListingPath::Fallback}) {
            AdapterFacts f = adapter("eth0", c.ip);
            f.link = c.flags;
            EXPECT_EQ(isUsableAdapter(f, path), c.usable) << c.what;
        }
    }
}

TEST(SelectAdapters, KeepsOrderAndFieldsOfUsableAdapters) {
    AdapterFacts first = adapter("Intel PRO/100", "10.1.0.5", "10.1.0.1");
    first.interfaceName = "eth0";
    first.interfaceIndex = 2;
    first.mask = "255.255.0.0";
    AdapterFacts second = adapter("Realtek", "192.168.7.3", "");
    second.mac = {0x02, 0xFE, 0, 0, 2, 1};
    second.interfaceName = "eth1";
    second.interfaceIndex = 5;

    const AdapterSelection s =
        selectAdapters(listing(ListingPath::Main, {first, adapter("PPP Adapter. (modem)"), second}));
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0], (AdapterEntry{"10.1.0.5", "255.255.0.0", "10.1.0.1", first.mac, "eth0", 2}));
    // No gateway known: the entry says "0.0.0.0", never an empty text.
    EXPECT_EQ(s.table[1], (AdapterEntry{"192.168.7.3", "255.255.255.0", "0.0.0.0", second.mac, "eth1", 5}));
}

TEST(SelectAdapters, FallbackPathKnowsNoGateway) {
    AdapterFacts noAddress = adapter("Unbound NIC", "", "");
    noAddress.mask.clear();
    const AdapterSelection s =
        selectAdapters(listing(ListingPath::Fallback, {adapter("NIC", "10.0.0.7", "10.0.0.1"), noAddress,
                                                       adapter("PPP Adapter. x")}));
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 3u);
    EXPECT_EQ(s.table[0].gateway, "0.0.0.0");
    EXPECT_EQ(s.table[0].ip, "10.0.0.7");
    // Counted and searched, but with no texts of some other adapter.
    EXPECT_EQ(s.table[1].ip, "");
    EXPECT_EQ(s.table[1].mask, "");
    EXPECT_EQ(s.table[1].gateway, "");
    EXPECT_EQ(s.table[2].gateway, "0.0.0.0");
}

TEST(SelectAdapters, StopsAtElevenEntries) {
    std::vector<AdapterFacts> many;
    for (int i = 0; i < 14; ++i) {
        AdapterFacts f = adapter(i == 3 ? "PPP Adapter." : "NIC", "10.0.0." + std::to_string(i + 1));
        f.interfaceIndex = i + 1;
        many.push_back(f);
    }
    for (ListingPath path : {ListingPath::Main, ListingPath::Fallback}) {
        const AdapterSelection s = selectAdapters(listing(path, many));
        ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
        ASSERT_EQ(s.table.size(), kMaxAdapters);
        // The skipped dial-up adapter does not use up a slot.
        EXPECT_EQ(s.table.front().interfaceIndex, 1);
        EXPECT_EQ(s.table[3].interfaceIndex, 5);
        EXPECT_EQ(s.table.back().interfaceIndex, 12);
    }
}

struct OutcomeCase {
    const char* what;
    AdapterListing listing;
    AdapterOutcome outcome;
};

TEST(SelectAdapters, FatalOutcomes) {
    AdapterFacts down = adapter("eth0");
    down.link = LinkFlags{false, false, false};
    const std::vector<OutcomeCase> cases{
        {"main listing unreadable", AdapterListing{false, ListingPath::Main, {adapter("NIC")}},
         AdapterOutcome::StatusError},
        {"fallback listing unreadable", AdapterListing{false, ListingPath::Fallback, {adapter("NIC")}},
         AdapterOutcome::NoAdapter},
        {"empty main listing", listing(ListingPath::Main, {}), AdapterOutcome::NoAdapter},
        {"empty fallback listing", listing(ListingPath::Fallback, {}), AdapterOutcome::NoAdapter},
        {"only dial-up", listing(ListingPath::Main, {adapter("PPP Adapter."), adapter("PPP Adapter. 2")}),
         AdapterOutcome::NoAdapter},
        {"only loopback on fallback", listing(ListingPath::Fallback, {adapter("MS TCP Loopback interface")}),
         AdapterOutcome::NoAdapter},
        {"only a link that is down", listing(ListingPath::Main, {down}), AdapterOutcome::NoAdapter},
    };
    for (const OutcomeCase& c : cases) {
        const AdapterSelection s = selectAdapters(c.listing);
        EXPECT_EQ(s.outcome, c.outcome) << c.what;
        EXPECT_TRUE(s.table.empty()) << c.what;
    }
}

} // namespace
} // namespace fw
