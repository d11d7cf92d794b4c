#include "platform/LinuxAdapterSource.h"

#include "support/NetLab.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fw {
namespace {

using test::NetLab;

void inWorkstation(NetLab& lab, const QStringList& argv) {
    ASSERT_EQ(lab.run("ws", argv), 0) << argv.join(' ').toStdString();
}

TEST(LinuxAdapterSourceNet, ListsTheTwoEthernetAdaptersOfTheWorkstation) {
    NetLab lab;
    // Interfaces that must not be searched on: a point-to-point tunnel with an address, a link
    // that is down with an address, and a link that is up without one.
    inWorkstation(lab, {"ip", "tuntap", "add", "dev", "tun0", "mode", "tun"});
    inWorkstation(lab, {"ip", "addr", "add", "10.66.0.1/30", "dev", "tun0"});
    inWorkstation(lab, {"ip", "link", "set", "tun0", "up"});
    inWorkstation(lab, {"ip", "link", "add", "spare0", "type", "veth", "peer", "name", "spare1"});
    inWorkstation(lab, {"ip", "addr", "add", "10.88.0.1/24", "dev", "spare0"});
    inWorkstation(lab, {"ip", "link", "set", "spare1", "up"});
    // Only the first address and the lowest-metric default route of the main table count.
    inWorkstation(lab, {"ip", "addr", "add", "10.77.1.2/16", "dev", "eth0"});
    inWorkstation(lab,
                  {"ip", "route", "add", "default", "via", "10.77.1.253", "dev", "eth0", "metric", "300"});
    inWorkstation(lab, {"ip", "route", "add", "default", "via", "10.77.2.250", "dev", "eth1", "metric", "50",
                        "table", "100"});
    inWorkstation(lab,
                  {"ip", "route", "add", "default", "via", "10.77.2.253", "dev", "eth1", "metric", "250"});
    lab.enterWorkstation();

    LinuxAdapterSource source;
    const AdapterSelection s = source.enumerateAdapters();
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0], (AdapterEntry{"10.77.1.1",
                                        "255.255.255.0",
                                        "10.77.1.254",
                                        {0x02, 0xfe, 0x00, 0x00, 0x01, 0x01},
                                        "eth0",
                                        s.table[0].interfaceIndex}));
    EXPECT_EQ(s.table[1], (AdapterEntry{"10.77.2.1",
                                        "255.255.255.0",
                                        "10.77.2.254",
                                        {0x02, 0xfe, 0x00, 0x00, 0x02, 0x01},
                                        "eth1",
                                        s.table[1].interfaceIndex}));
    EXPECT_LT(s.table[0].interfaceIndex, s.table[1].interfaceIndex);

    // The skipped interfaces were seen, with the facts that rule them out.
    const AdapterListing listing = LinuxAdapterSource().readListing();
    ASSERT_TRUE(listing.readable);
    EXPECT_TRUE(
        std::is_sorted(listing.adapters.begin(), listing.adapters.end(),
                       [](const auto& a, const auto& b) { return a.interfaceIndex < b.interfaceIndex; }));
    const auto find = [&](const std::string& name) {
        const auto it = std::find_if(listing.adapters.begin(), listing.adapters.end(),
                                     [&](const AdapterFacts& f) { return f.interfaceName == name; });
        return it == listing.adapters.end() ? AdapterFacts{} : *it;
    };
    EXPECT_TRUE(find("lo").link.value_or(LinkFlags{}).loopback);
    EXPECT_TRUE(find("tun0").link.value_or(LinkFlags{}).pointToPoint);
    EXPECT_EQ(find("tun0").ip, "10.66.0.1");
    EXPECT_EQ(find("tun0").mask, "255.255.255.252");
    EXPECT_FALSE(find("spare0").link.value_or(LinkFlags{true}).up);
    EXPECT_EQ(find("spare1").ip, "");
}

TEST(LinuxAdapterSourceNet, GatewayIsZeroWithoutDefaultRouteAndDownLinksLeaveNoAdapter) {
    NetLab lab;
    inWorkstation(lab, {"ip", "route", "del", "default", "via", "10.77.2.254", "dev", "eth1"});
    lab.enterWorkstation();
    const AdapterSelection s = LinuxAdapterSource{}.enumerateAdapters();
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0].gateway, "10.77.1.254");
    EXPECT_EQ(s.table[1].gateway, "0.0.0.0");

    inWorkstation(lab, {"ip", "link", "set", "eth0", "down"});
    inWorkstation(lab, {"ip", "link", "set", "eth1", "down"});
    EXPECT_EQ(LinuxAdapterSource{}.enumerateAdapters().outcome, AdapterOutcome::NoAdapter);
}

} // namespace
} // namespace fw
