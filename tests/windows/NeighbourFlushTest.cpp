// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/NeighbourFlush.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace fw {
namespace {

// Each adapter is asked for the address; a missing function or a refusal everywhere flushes nothing.
TEST(NeighbourFlush, AsksEveryAdapterAndTakesItsAnswer) {
    const Ipv4 ip = *Ipv4::parse("10.77.2.200");
    struct Case {
        unsigned long answer;
        bool flushed;
    };
    for (const Case c :
         {Case{NO_ERROR, true}, Case{ERROR_NOT_FOUND, true}, Case{ERROR_ACCESS_DENIED, false}}) {
        std::vector<std::pair<unsigned long, Ipv4>> asked;
        const auto fake = [&](unsigned long index, Ipv4 address) {
            asked.emplace_back(index, address);
            return c.answer;
        };
        EXPECT_EQ(NeighbourFlush::flush(ip, {3, 7}, fake), c.flushed);
        EXPECT_EQ(asked, (std::vector<std::pair<unsigned long, Ipv4>>{{3, ip}, {7, ip}}));
    }
    EXPECT_FALSE(NeighbourFlush::flush(ip, {3}, {}));
}

} // namespace
} // namespace fw
