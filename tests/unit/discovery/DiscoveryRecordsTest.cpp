#include "discovery/core/DiscoveryRecords.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A reply laid out by hand from the byte table, so a wrong offset in the decoder shows.
Bytes reply(std::size_t size, std::uint8_t seqHi, std::uint8_t seqLo) {
    Bytes b(size, 0);
    const std::uint8_t head[] = {0x87, 0x65, 0x43, 0x21, 0x11, 0x00, seqHi, seqLo};
    std::copy(std::begin(head), std::end(head), b.begin());
    auto put = [&](std::size_t at, std::string_view s) {
        for (std::size_t i = 0; i < s.size() && at + i < b.size(); ++i) {
            b[at + i] = static_cast<std::uint8_t>(s[i]);
        }
    };
    const std::uint8_t mac[] = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    for (std::size_t i = 0; i < 6; ++i) {
        b[14 + i] = mac[i];
    }
    put(20, "office-net");
    if (size > 55) {
        b[53] = 11;
        b[54] = 1;
        b[55] = 1;
    }
    put(60, "Lobby AP");
    put(92, "AP");
    return b;
}

TEST(DiscoveryRequest, IsByteExact) {
    const auto r = buildDiscoveryRequest(0x0102, {0x02, 0xFE, 0x00, 0x00, 0x01, 0x01});
    const DiscoveryRequest expected{0x87, 0x65, 0x43, 0x21, 0x10, 0x00, 0x01, 0x02,
                                    0x02, 0xFE, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00};
    EXPECT_EQ(r, expected);
    const auto last = buildDiscoveryRequest(32767, {});
    EXPECT_EQ(last[6], 0x7F);
    EXPECT_EQ(last[7], 0xFF);
}

TEST(SearchSequence, CountsUpAndHoldsAt32767) {
    std::int16_t s = 0;
    s = nextSearchSequence(s);
    EXPECT_EQ(s, 1);
    for (int i = 0; i < 4; ++i) {
        s = nextSearchSequence(s);
    }
    EXPECT_EQ(s, 5);
    s = 32766;
    s = nextSearchSequence(s);
    EXPECT_EQ(s, 32767);
    s = nextSearchSequence(s);
    EXPECT_EQ(s, 32767);
}

TEST(DiscoveryReply, DecodesEveryField) {
    const auto r = acceptDiscoveryReply(reply(96, 0x00, 0x05), 5);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->deviceMac, (MacAddress{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    EXPECT_EQ(r->essId, "office-net");
    EXPECT_EQ(r->channel, 11);
    EXPECT_TRUE(r->wep);
    EXPECT_EQ(r->name, "Lobby AP");
    EXPECT_TRUE(r->isAp);
}

TEST(DiscoveryReply, AcceptanceByLengthMagicAndSequence) {
    EXPECT_FALSE(acceptDiscoveryReply(reply(59, 0, 5), 5).has_value());
    EXPECT_FALSE(acceptDiscoveryReply({}, 5).has_value());

    const auto sixty = acceptDiscoveryReply(reply(60, 0, 5), 5);
    ASSERT_TRUE(sixty.has_value());
    EXPECT_EQ(sixty->name, "");
    EXPECT_FALSE(sixty->isAp);

    auto badMagic = reply(96, 0, 5);
    badMagic[3] = 0x20;
    EXPECT_FALSE(acceptDiscoveryReply(badMagic, 5).has_value());

    EXPECT_FALSE(acceptDiscoveryReply(reply(96, 0x05, 0x00), 5).has_value()); // byte order matters
    EXPECT_FALSE(acceptDiscoveryReply(reply(96, 0x00, 0x04), 5).has_value()); // previous search
    EXPECT_TRUE(acceptDiscoveryReply(reply(96, 0x7F, 0xFF), 32767).has_value());
    EXPECT_TRUE(acceptDiscoveryReply(reply(96, 0xFF, 0xFF), -1).has_value()); // compared as a 16-bit pattern
}

TEST(DiscoveryReply, OnlyTheFirst96BytesCount) {
    auto big = reply(200, 0, 1);
    for (std::size_t i = 96; i < big.size(); ++i) {
        big[i] = 'Z';
    }
    big[94] = 'X';
    big[95] = 'Y';
    const auto r = acceptDiscoveryReply(big, 1);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->name, "Lobby AP");
    EXPECT_TRUE(r->isAp);
}

TEST(DiscoveryReply, KindMarksAnAccessPointWhereverAPStandsInItsThreeBytes) {
    struct Case {
        std::uint8_t k0, k1, k2;
        bool ap;
    };
    const Case cases[] = {
        {0x41, 0x50, 0x00, true},  {0x00, 0x41, 0x50, true},  {0x4D, 0x41, 0x50, true},
        {0x61, 0x70, 0x00, false}, {0x41, 0x00, 0x50, false}, {0x47, 0x00, 0x00, false},
    };
    for (const auto& c : cases) {
        auto b = reply(96, 0, 1);
        b[92] = c.k0;
        b[93] = c.k1;
        b[94] = c.k2;
        const auto r = acceptDiscoveryReply(b, 1);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->isAp, c.ap) << int(c.k0) << " " << int(c.k1) << " " << int(c.k2);
    }
}

TEST(DiscoveryReply, NameLengthByteDecidesWhetherTheNameShows) {
    struct Case {
        std::uint8_t nameLength;
        const char* name;
    };
    const Case cases[] = {{0, ""}, {1, "Lobby AP"}, {127, "Lobby AP"}, {128, ""}, {255, ""}};
    for (const auto& c : cases) {
        auto b = reply(96, 0, 1);
        b[55] = c.nameLength;
        EXPECT_EQ(acceptDiscoveryReply(b, 1)->name, c.name) << int(c.nameLength);
    }
}

TEST(DiscoveryReply, FullWidthTextsWithoutNulAndWepValues) {
    auto b = reply(96, 0, 1);
    for (std::size_t i = 0; i < 32; ++i) {
        b[20 + i] = 'E';
        b[60 + i] = 'N';
    }
    b[53] = 0;
    b[54] = 2;
    const auto r = acceptDiscoveryReply(b, 1);
    EXPECT_EQ(r->essId, std::string(32, 'E'));
    EXPECT_EQ(r->name, std::string(32, 'N'));
    EXPECT_EQ(r->channel, 0);
    EXPECT_FALSE(r->wep);
}

} // namespace
} // namespace fw
