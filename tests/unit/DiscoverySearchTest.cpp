// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DiscoverySearch.h"

#include "discovery/DiscoveryRecords.h"
#include "discovery/SearchCountdown.h"
#include "support/CoreFakes.h"
#include "support/ReplyBytes.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::replyBytes;
using test::ReplyFields;
using Verdict = DiscoverySearch::Verdict;

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

class DiscoverySearchTest : public ::testing::Test {
protected:
    Verdict reply(ReplyFields fields, const char* from, const Ipv4& on) {
        auto heard = search.onDatagram(replyBytes(fields), ip(from), on);
        if (heard.row) {
            rows.push_back(*heard.row);
        }
        return heard.verdict;
    }

    std::vector<DeviceRow> rows;
    DiscoverySearch search;
    const Ipv4 eth0 = ip("10.77.1.1");
    const Ipv4 eth1 = ip("10.77.2.1");
};

TEST_F(DiscoverySearchTest, EverySearchSendsItsNumberAndEachAdapterItsOwnMac) {
    const AdapterTable table{{Ipv4::parse("10.77.1.1"), {}, {}, {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2},
                             {Ipv4::parse("10.77.2.1"), {}, {}, {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3}};
    search.begin(1);
    const auto r = search.requestsFor(table);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], (DiscoveryRequest{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, 1, 0x02, 0xFE, 0, 0, 1, 1, 0, 0}));
    search.begin(32767);
    EXPECT_EQ(search.requestFor(table[0])[6], 0x7F);
    EXPECT_EQ(reply({.sequence = 32767}, "10.77.1.10", eth0), Verdict::Listed);
}

TEST_F(DiscoverySearchTest, OneRowPerSenderAddressTheFirstWins) {
    search.begin(1);
    EXPECT_EQ(reply({.name = "first"}, "192.168.1.1", eth0), Verdict::Listed);
    EXPECT_EQ(reply({.name = "second", .kind = "G"}, "192.168.1.1", eth1), Verdict::Repeat);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "first");
    EXPECT_EQ(rows[0].adapterIp, eth0);

    search.begin(2); // a new search lists everyone again
    EXPECT_EQ(reply({.sequence = 2}, "192.168.1.1", eth0), Verdict::Listed);
    EXPECT_EQ(search.replyCount(), 1);
}

// A reply as the doctor's packet socket captures it, from the IPv4 header on.
std::vector<std::uint8_t> capturedPacket(std::uint16_t dport, std::int16_t sequence,
                                         std::uint8_t ihlWords = 5, std::uint8_t fragmentHigh = 0x40) {
    const auto reply = test::replyBytes({.sequence = sequence, .mac = {0, 0x0A, 0, 0, 0, 3}});
    const std::size_t ihl = ihlWords * 4u;
    std::vector<std::uint8_t> p(ihl + 8, 0);
    p[0] = static_cast<std::uint8_t>(0x40 | ihlWords);
    p[6] = fragmentHigh;
    p[9] = 17;
    p[12] = 192, p[13] = 168, p[14] = 99, p[15] = 7;
    p[ihl + 2] = static_cast<std::uint8_t>(dport >> 8);
    p[ihl + 3] = static_cast<std::uint8_t>(dport);
    p[ihl + 5] = static_cast<std::uint8_t>(8 + reply.size());
    p.insert(p.end(), reply.begin(), reply.end());
    return p;
}

TEST(DiscoveryRecords, CapturedRepliesAreRepliesToPort4001) {
    const auto seen = acceptCapturedReply(capturedPacket(4001, 1), 1);
    ASSERT_TRUE(seen);
    EXPECT_EQ(formatMac(seen->reply.deviceMac), "00-0A-00-00-00-03");
    EXPECT_EQ(seen->source.toString(), "192.168.99.7");
    EXPECT_TRUE(acceptCapturedReply(capturedPacket(4001, 1, 6), 1)); // IP options shift the UDP header
    EXPECT_FALSE(acceptCapturedReply(capturedPacket(4000, 1), 1));
    EXPECT_FALSE(acceptCapturedReply(capturedPacket(4001, 2), 1));
    EXPECT_FALSE(acceptCapturedReply(capturedPacket(4001, 1, 5, 0x20), 1)); // first fragment
    auto cut = capturedPacket(4001, 1);
    cut.resize(cut.size() - 40); // UDP length now claims more than arrived
    EXPECT_FALSE(acceptCapturedReply(cut, 1));
}

// The Searching window's wait in virtual time: each step's timer fires after the interval asked for.
// 15 steps of 200 ms showing 0 to 14, closed after the 15th and not before; a cancel closes it when
// the step under way ends.
TEST(SearchCountdown, FifteenStepsOf200MsThenItCloses) {
    using std::chrono::milliseconds;
    for (const int cancelInStep : {0, 4}) { // 0: never
        SearchCountdown countdown;
        std::vector<int> shown;
        std::vector<milliseconds> waits;
        milliseconds now{0};
        std::optional<SearchCountdown::Step> step = countdown.start();
        for (int n = 1; step; ++n) {
            ASSERT_LE(n, 15) << "still open after 15 steps";
            shown.push_back(step->bar);
            waits.push_back(step->wait);
            if (n == cancelInStep) {
                countdown.cancel();
                EXPECT_TRUE(countdown.running()) << "closed at the click, not at the step's end";
            }
            now += step->wait;
            step = countdown.tick();
        }
        const int steps = cancelInStep == 0 ? 15 : cancelInStep;
        EXPECT_EQ(now, milliseconds(200 * steps)) << cancelInStep;
        EXPECT_EQ(waits, std::vector<milliseconds>(static_cast<std::size_t>(steps), milliseconds(200)));
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(steps));
        EXPECT_EQ(shown.back(), steps - 1);
    }
}

} // namespace
} // namespace fw
