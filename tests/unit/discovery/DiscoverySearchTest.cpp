#include "discovery/core/DiscoverySearch.h"

#include "unit/discovery/ReplyBytes.h"
#include "unit/discovery/RowPrinting.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::replyBytes;
using test::ReplySpec;
using Verdict = DiscoverySearch::Verdict;

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

struct RecordingList final : DiscoverySearch::Listener {
    void rowListed(const DeviceRow& row) override { rows.push_back(row); }
    std::vector<DeviceRow> rows;
};

class DiscoverySearchTest : public ::testing::Test {
protected:
    ProcessValues values;
    RecordingList list;
    DiscoverySearch search{values, list};
    const Ipv4 eth0 = ip("10.77.1.1");
    const Ipv4 eth1 = ip("10.77.2.1");
};

TEST_F(DiscoverySearchTest, SequenceIsOneOnTheFirstSearchFiveOnTheFifthAndHoldsAt32767) {
    EXPECT_EQ(search.begin(), 1);
    for (int i = 0; i < 3; ++i) {
        search.begin();
    }
    EXPECT_EQ(search.begin(), 5);
    EXPECT_EQ(search.requestFor(AdapterEntry{})[7], 5);
    for (int i = 5; i < 32767; ++i) {
        search.begin();
    }
    EXPECT_EQ(search.sequence(), 32767);
    EXPECT_EQ(search.begin(), 32767);
    const auto r = search.requestFor(AdapterEntry{});
    EXPECT_EQ(r[6], 0x7F);
    EXPECT_EQ(r[7], 0xFF);
    EXPECT_EQ(search.onDatagram(replyBytes({.sequence = 32767}), ip("10.77.1.10"), eth0), Verdict::Listed);
}

TEST_F(DiscoverySearchTest, EveryAdapterGetsItsOwnMacAndTheSameSequenceEverySearch) {
    const AdapterTable table{
        AdapterEntry{"10.77.1.1", "255.255.255.0", "10.77.1.254", {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2},
        AdapterEntry{"10.77.2.1", "255.255.255.0", "10.77.2.254", {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3},
    };
    for (std::uint8_t n = 1; n <= 3; ++n) {
        search.begin();
        const auto requests = search.requestsFor(table);
        ASSERT_EQ(requests.size(), 2u);
        const DiscoveryRequest first{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, n, 0x02, 0xFE, 0, 0, 1, 1, 0, 0};
        const DiscoveryRequest second{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, n, 0x02, 0xFE, 0, 0, 2, 1, 0, 0};
        EXPECT_EQ(requests[0], first);
        EXPECT_EQ(requests[1], second);
    }
}

TEST_F(DiscoverySearchTest, ARowHoldsTheExactCellTextsAndTheReceivingAdapter) {
    search.begin();
    ASSERT_EQ(
        search.onDatagram(replyBytes({.wep = 1, .name = "Lobby", .kind = "AP"}), ip("192.168.99.7"), eth1),
        Verdict::Listed);
    ASSERT_EQ(list.rows.size(), 1u);
    const DeviceRow expected{"Lobby",   "192.168.99.7",      "office-net", "6",
                             "Enabled", "00-0A-1B-2C-3D-4E", "A",          "10.77.2.1"};
    EXPECT_EQ(list.rows[0], expected);
}

TEST_F(DiscoverySearchTest, CellTextsForEdgeValues) {
    struct Case {
        ReplySpec spec;
        const char* name;
        const char* channel;
        const char* wep;
        const char* mac;
        const char* kind;
    };
    const Case cases[] = {
        {{.channel = 0, .wep = 2}, "Lobby", "0", "Disabled", "00-0A-1B-2C-3D-4E", "A"},
        {{.mac = {0xFF, 0xA0, 0x01, 0x10, 0xBC, 0x09}, .channel = 255},
         "Lobby",
         "255",
         "Disabled",
         "FF-A0-01-10-BC-09",
         "A"},
        {{.size = 60}, "", "6", "Disabled", "00-0A-1B-2C-3D-4E", "G"}, // name and kind lie beyond 60 bytes
        {{.nameLength = 0, .kind = "G"}, "", "6", "Disabled", "00-0A-1B-2C-3D-4E", "G"},
        {{.channel = 11, .nameLength = 200, .kind = std::string_view("\0AP", 3)},
         "",
         "11",
         "Disabled",
         "00-0A-1B-2C-3D-4E",
         "A"},
    };
    int n = 0;
    for (const auto& c : cases) {
        ReplySpec spec = c.spec;
        spec.sequence = search.begin();
        list.rows.clear();
        ASSERT_EQ(search.onDatagram(replyBytes(spec), ip("10.77.1.10"), eth0), Verdict::Listed) << n;
        const DeviceRow& r = list.rows.at(0);
        EXPECT_EQ(r.name, c.name) << n;
        EXPECT_EQ(r.channel, c.channel) << n;
        EXPECT_EQ(r.wep, c.wep) << n;
        EXPECT_EQ(r.mac, c.mac) << n;
        EXPECT_EQ(r.kind, c.kind) << n;
        ++n;
    }
}

TEST_F(DiscoverySearchTest, DroppedDatagramsChangeNothing) {
    search.begin();
    search.begin(); // sequence 2
    values.selectedDeviceIp = "untouched";
    auto badMagic = replyBytes({.sequence = 2});
    badMagic[3] = 0x20;
    const std::vector<std::uint8_t> dropped[] = {
        replyBytes({.sequence = 1}),             // the previous search
        replyBytes({.sequence = 0x0200}),        // byte order
        replyBytes({.sequence = 2, .size = 59}), // too short
        badMagic,
        {},
    };
    for (const auto& d : dropped) {
        EXPECT_EQ(search.onDatagram(d, ip("10.77.1.10"), eth0), Verdict::Dropped);
    }
    EXPECT_EQ(search.replyCount(), 0);
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(values.selectedDeviceIp, "untouched");
    EXPECT_EQ(search.onDatagram(replyBytes({.sequence = 2}), ip("10.77.1.10"), eth0), Verdict::Listed);
}

TEST_F(DiscoverySearchTest, OneRowPerSenderPerSearchAndTheFirstReplyWins) {
    search.begin();
    const Ipv4 shared = ip("192.168.1.1"); // two units still on the factory address
    EXPECT_EQ(search.onDatagram(replyBytes({.name = "first", .kind = "AP"}), shared, eth0), Verdict::Listed);
    EXPECT_EQ(search.onDatagram(replyBytes({.name = "second", .kind = "G"}), shared, eth1), Verdict::Repeat);
    EXPECT_EQ(search.onDatagram(replyBytes({.name = "first"}), shared, eth0), Verdict::Repeat);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].name, "first");
    EXPECT_EQ(search.replyCount(), 3); // repeats are counted too
    // The repeat did not move the process values to the second device or adapter.
    EXPECT_TRUE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.1.1");

    search.begin(); // a new search lists it again
    EXPECT_EQ(search.onDatagram(replyBytes({.sequence = 2, .name = "second"}), shared, eth1),
              Verdict::Listed);
    EXPECT_EQ(search.replyCount(), 1);
}

TEST_F(DiscoverySearchTest, AThousandSendersGiveAThousandRowsAndNoRepeatIsListedTwice) {
    search.begin();
    const auto bytes = replyBytes({});
    for (int round = 0; round < 2; ++round) {
        for (std::uint32_t i = 0; i < 1000; ++i) {
            search.onDatagram(bytes, Ipv4::fromHostOrder(0x0A4D0000u + i), eth0);
        }
    }
    EXPECT_EQ(list.rows.size(), 1000u);
    EXPECT_EQ(search.listedCount(), 1000u);
    EXPECT_EQ(search.replyCount(), 2000);
    EXPECT_EQ(list.rows.back().ip, "10.77.3.231");
}

TEST_F(DiscoverySearchTest, ProcessValuesFollowTheLastListedReply) {
    search.begin();
    search.onDatagram(replyBytes({.kind = "AP"}), ip("10.77.1.10"), eth0);
    EXPECT_EQ(values.selectedDeviceIp, "10.77.1.10");
    EXPECT_TRUE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.1.1");

    search.onDatagram(replyBytes({.kind = "G"}), ip("10.77.2.20"), eth1);
    EXPECT_EQ(values.selectedDeviceIp, "10.77.2.20");
    EXPECT_FALSE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.2.1");
    // Each row keeps its own adapter, so picking the first later points at eth0 again.
    EXPECT_EQ(list.rows[0].adapterIp, "10.77.1.1");
    EXPECT_EQ(list.rows[1].adapterIp, "10.77.2.1");
}

} // namespace
} // namespace fw
