// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/core/DiscoverySearch.h"

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
        return search.onDatagram(replyBytes(fields), ip(from), on);
    }

    ProcessValues values;
    test::RecordingRows listed;
    std::vector<DeviceRow>& rows = listed.rows;
    DiscoverySearch search{values, listed};
    const Ipv4 eth0 = ip("10.77.1.1");
    const Ipv4 eth1 = ip("10.77.2.1");
};

TEST_F(DiscoverySearchTest, EverySearchSendsItsNumberAndEachAdapterItsOwnMac) {
    const AdapterTable table{{Ipv4::parse("10.77.1.1"), {}, {}, {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2},
                             {Ipv4::parse("10.77.2.1"), {}, {}, {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3}};
    ASSERT_EQ(search.begin(), 1);
    const auto r = search.requestsFor(table);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], (DiscoveryRequest{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, 1, 0x02, 0xFE, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(r[1], (DiscoveryRequest{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, 1, 0x02, 0xFE, 0, 0, 2, 1, 0, 0}));
    while (search.sequence() < 32767) {
        search.begin();
    }
    EXPECT_EQ(search.begin(), 32767); // held there for every later search
    EXPECT_EQ(search.requestFor(table[0])[6], 0x7F);
    EXPECT_EQ(reply({.sequence = 32767}, "10.77.1.10", eth0), Verdict::Listed);
}

TEST_F(DiscoverySearchTest, ARowCarriesTheReplysValuesAndTheAdapterItCameInOn) {
    struct Case {
        ReplyFields fields;
        DeviceRow row;
    };
    const MacAddress mac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    const Ipv4 from = ip("10.77.1.10");
    const Case cases[] = {
        {{.wep = 1}, {"Lobby", from, "office-net", 6, true, mac, true, eth1}},
        {{.mac = {0xFF, 0xA0, 1, 0x10, 0xBC, 9}, .channel = 0, .wep = 2, .kind = "G"},
         {"Lobby", from, "office-net", 0, false, {0xFF, 0xA0, 1, 0x10, 0xBC, 9}, false, eth1}},
        {{.channel = 255, .size = 60}, // name and kind lie past byte 60
         {"", from, "office-net", 255, false, mac, false, eth1}},
        {{.nameLength = 200, .kind = std::string_view("\0AP", 3)},
         {"", from, "office-net", 6, false, mac, true, eth1}},
    };
    for (const auto& c : cases) {
        ReplyFields fields = c.fields;
        fields.sequence = search.begin();
        rows.clear();
        ASSERT_EQ(reply(fields, "10.77.1.10", eth1), Verdict::Listed);
        EXPECT_EQ(rows.at(0), c.row) << "case " << (&c - cases);
    }
}

TEST_F(DiscoverySearchTest, DroppedDatagramsChangeNothing) {
    search.begin();
    search.begin(); // sequence 2
    auto badMagic = replyBytes({.sequence = 2});
    badMagic[3] = 0x20;
    for (const auto& d : {replyBytes({.sequence = 1}), replyBytes({.sequence = 0x0200}),
                          replyBytes({.sequence = 2, .size = 59}), badMagic}) {
        EXPECT_EQ(search.onDatagram(d, ip("10.77.1.10"), eth0), Verdict::Dropped);
    }
    EXPECT_EQ(search.replyCount(), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(values.selectedDeviceIp);
}

TEST_F(DiscoverySearchTest, OneRowPerSenderAddressTheFirstWinsAndValuesFollowListedRowsOnly) {
    search.begin();
    EXPECT_EQ(reply({.name = "first"}, "192.168.1.1", eth0), Verdict::Listed);
    EXPECT_EQ(reply({.name = "second", .kind = "G"}, "192.168.1.1", eth1), Verdict::Repeat);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "first");
    EXPECT_TRUE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, eth0);

    EXPECT_EQ(reply({.kind = "G"}, "10.77.2.20", eth1), Verdict::Listed);
    EXPECT_EQ(values.selectedDeviceIp, ip("10.77.2.20"));
    EXPECT_FALSE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, eth1);

    search.begin(); // a new search lists everyone again
    EXPECT_EQ(reply({.sequence = 2}, "192.168.1.1", eth0), Verdict::Listed);
    EXPECT_EQ(search.replyCount(), 1);
}

// Keyed by MAC and adapter (watch): two devices on one address and one MAC on two segments are all
// listed; a second copy from a device is still a repeat.
TEST_F(DiscoverySearchTest, ByMacSharedAddressesAndSegmentsAreListedRepeatsAreNot) {
    DiscoverySearch byMac{values, listed, DiscoverySearch::Keying::MacAndAdapter};
    byMac.begin();
    const auto from = [&](std::uint8_t last, const Ipv4& on) {
        return byMac.onDatagram(replyBytes({.mac = {0, 0x0A, 0x1B, 0, 0, last}}), ip("10.77.1.9"), on);
    };
    EXPECT_EQ(from(1, eth0), Verdict::Listed);
    EXPECT_EQ(from(2, eth0), Verdict::Listed);
    EXPECT_EQ(from(1, eth1), Verdict::Listed);
    EXPECT_EQ(from(1, eth0), Verdict::Repeat);
}

} // namespace
} // namespace fw
