// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/LinuxAdapterSource.h"

#include "netif/AdapterRules.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

const ListingAttempt interrupted{AdapterListing{}, true}, unreadable{AdapterListing{}, false};

ListingAttempt oneAdapter() {
    AdapterFacts eth;
    eth.interfaceName = eth.description = "eth0";
    eth.ip = Ipv4::parse("10.77.1.1");
    eth.mask = Ipv4::parse("255.255.255.0");
    eth.link = LinkFlags{true, false, false};
    return {AdapterListing{true, ListingPath::Main, {eth}}, false};
}

// A network change mid-read (NLM_F_DUMP_INTR) is retried; only an unreadable kernel is fatal.
TEST(LinuxAdapterSource, InterruptedReadingsAreRepeated) {
    struct Case {
        const char* name;
        std::vector<ListingAttempt> attempts;
        AdapterOutcome outcome;
        std::size_t readings;
    };
    const std::vector<ListingAttempt> alwaysInterrupted(LinuxAdapterSource::kAttempts, interrupted);
    const Case cases[] = {
        {"interrupted twice, then whole", {interrupted, interrupted, oneAdapter()}, AdapterOutcome::Ok, 3},
        {"interrupted every time", alwaysInterrupted, AdapterOutcome::StatusError,
         LinuxAdapterSource::kAttempts},
        {"unreadable is not retried", {unreadable, oneAdapter()}, AdapterOutcome::StatusError, 1},
    };
    for (const Case& c : cases) {
        std::size_t readings = 0;
        LinuxAdapterSource source([&] { return c.attempts.at(readings++); });
        EXPECT_EQ(selectAdapters(source.readListing()).outcome, c.outcome) << c.name;
        EXPECT_EQ(readings, c.readings) << c.name;
    }
}

} // namespace
} // namespace fw
