// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AdapterChoice.h"

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

AdapterFacts facts(const std::string& name, const std::string& ip, bool up = true, bool loopback = false) {
    AdapterFacts f;
    f.interfaceName = name;
    f.ip = Ipv4::parse(ip);
    f.mask = f.ip ? Ipv4::parse("255.255.255.0") : std::nullopt;
    f.link = LinkFlags{up, loopback, false};
    return f;
}

AdapterListing listing(std::size_t ethCount) {
    AdapterListing l{
        true, ListingPath::Main, {facts("lo", "127.0.0.1", true, true), facts("down0", "10.9.0.1", false)}};
    for (std::size_t i = 0; i < ethCount; ++i) {
        l.adapters.push_back(facts("eth" + std::to_string(i), "10.0." + std::to_string(i) + ".1"));
    }
    return l;
}

TEST(AdapterChoice, NamesPickExactlyTheNamedAdapters) {
    const struct {
        std::vector<std::string> asked;
        std::vector<std::string> chosen;
    } cases[] = {
        {{}, {"eth0", "eth1", "eth2"}},
        {{"eth2", "eth0"}, {"eth2", "eth0"}},
        {{"eth1", "eth1"}, {"eth1"}},
    };
    for (const auto& c : cases) {
        const auto result = chooseAdapters(listing(3), c.asked);
        ASSERT_TRUE(result.has_value());
        const auto& s = *result;
        EXPECT_EQ(s.outcome, AdapterOutcome::Ok);
        ASSERT_EQ(s.table.size(), c.chosen.size());
        for (std::size_t i = 0; i < s.table.size(); ++i) {
            EXPECT_EQ(s.table[i].interfaceName, c.chosen[i]);
        }
    }
}

TEST(AdapterChoice, BadNamesAreErrorsThatNameThem) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"eth9"}, "no adapter named 'eth9' (usable: eth0, eth1)"},
        {{"eth0", "lo"}, "adapter 'lo' cannot be used"},
    };
    for (const auto& [asked, message] : cases) {
        const auto result = chooseAdapters(listing(2), asked);
        ASSERT_FALSE(result.has_value()) << message;
        const std::string text = adapterChoiceText(result.error());
        EXPECT_NE(text.find(message), std::string::npos) << text;
    }
}

} // namespace
} // namespace fw::cli
