#include "discovery/core/DiscoverySearch.h"

#include "unit/discovery/ReplyBytes.h"
#include "unit/discovery/RowPrinting.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::replyBytes;
using test::ReplyFields;
using Verdict = DiscoverySearch::Verdict;

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

class DiscoverySearchTest : public ::testing::Test, protected DiscoverySearch::Listener {
protected:
    void rowListed(const DeviceRow& row) override { rows.push_back(row); }
    Verdict reply(ReplyFields fields, const char* from, const Ipv4& on) {
        return search.onDatagram(replyBytes(fields), ip(from), on);
    }

    ProcessValues values;
    std::vector<DeviceRow> rows;
    DiscoverySearch search{values, *this};
    const Ipv4 eth0 = ip("10.77.1.1");
    const Ipv4 eth1 = ip("10.77.2.1");
};

TEST_F(DiscoverySearchTest, EverySearchSendsItsNumberAndEachAdapterItsOwnMac) {
    const AdapterTable table{{"10.77.1.1", "", "", {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2},
                             {"10.77.2.1", "", "", {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3}};
    for (std::uint8_t n = 1; n <= 5; ++n) {
        ASSERT_EQ(search.begin(), n);
        const auto r = search.requestsFor(table);
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0],
                  (DiscoveryRequest{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, n, 0x02, 0xFE, 0, 0, 1, 1, 0, 0}));
        EXPECT_EQ(r[1],
                  (DiscoveryRequest{0x87, 0x65, 0x43, 0x21, 0x10, 0, 0, n, 0x02, 0xFE, 0, 0, 2, 1, 0, 0}));
    }
    while (search.sequence() < 32767) {
        search.begin();
    }
    EXPECT_EQ(search.begin(), 32767); // held there for every later search
    EXPECT_EQ(search.requestFor(table[0])[6], 0x7F);
    EXPECT_EQ(search.requestFor(table[0])[7], 0xFF);
    EXPECT_EQ(reply({.sequence = 32767}, "10.77.1.10", eth0), Verdict::Listed);
}

TEST_F(DiscoverySearchTest, CellTexts) {
    struct Case {
        ReplyFields fields;
        DeviceRow row;
    };
    const Case cases[] = {
        {{.wep = 1},
         {"Lobby", "10.77.1.10", "office-net", "6", "Enabled", "00-0A-1B-2C-3D-4E", "A", "10.77.2.1"}},
        {{.mac = {0xFF, 0xA0, 1, 0x10, 0xBC, 9}, .channel = 0, .wep = 2, .kind = "G"},
         {"Lobby", "10.77.1.10", "office-net", "0", "Disabled", "FF-A0-01-10-BC-09", "G", "10.77.2.1"}},
        {{.channel = 255, .size = 60}, // name and kind lie past byte 60
         {"", "10.77.1.10", "office-net", "255", "Disabled", "00-0A-1B-2C-3D-4E", "G", "10.77.2.1"}},
        {{.nameLength = 200, .kind = std::string_view("\0AP", 3)},
         {"", "10.77.1.10", "office-net", "6", "Disabled", "00-0A-1B-2C-3D-4E", "A", "10.77.2.1"}},
    };
    for (const auto& c : cases) {
        ReplyFields fields = c.fields;
        fields.sequence = search.begin();
        rows.clear();
        ASSERT_EQ(reply(fields, "10.77.1.10", eth1), Verdict::Listed);
        EXPECT_EQ(rows.at(0), c.row);
    }
}

TEST_F(DiscoverySearchTest, DroppedDatagramsChangeNothing) {
    search.begin();
    search.begin(); // sequence 2
    values.selectedDeviceIp = "untouched";
    auto badMagic = replyBytes({.sequence = 2});
    badMagic[3] = 0x20;
    for (const auto& d : {replyBytes({.sequence = 1}), replyBytes({.sequence = 0x0200}),
                          replyBytes({.sequence = 2, .size = 59}), badMagic}) {
        EXPECT_EQ(search.onDatagram(d, ip("10.77.1.10"), eth0), Verdict::Dropped);
    }
    EXPECT_EQ(search.replyCount(), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(values.selectedDeviceIp, "untouched");
}

TEST_F(DiscoverySearchTest, OneRowPerSenderAddressTheFirstWinsAndValuesFollowListedRowsOnly) {
    search.begin();
    EXPECT_EQ(reply({.name = "first"}, "192.168.1.1", eth0), Verdict::Listed);
    EXPECT_EQ(reply({.name = "second", .kind = "G"}, "192.168.1.1", eth1), Verdict::Repeat); // same address
    EXPECT_EQ(reply({.name = "first"}, "192.168.1.1", eth0), Verdict::Repeat);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "first");
    EXPECT_EQ(search.replyCount(), 3);
    EXPECT_TRUE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.1.1");

    EXPECT_EQ(reply({.kind = "G"}, "10.77.2.20", eth1), Verdict::Listed);
    EXPECT_EQ(values.selectedDeviceIp, "10.77.2.20");
    EXPECT_FALSE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.2.1");
    EXPECT_EQ(rows[0].adapterIp, "10.77.1.1"); // each row keeps the adapter it came in on

    search.begin(); // a new search lists everyone again
    EXPECT_EQ(reply({.sequence = 2}, "192.168.1.1", eth0), Verdict::Listed);
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
    EXPECT_EQ(rows.size(), 1000u);
    EXPECT_EQ(search.replyCount(), 2000);
}

} // namespace
} // namespace fw
