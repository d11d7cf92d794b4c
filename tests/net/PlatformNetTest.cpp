// SPDX-License-Identifier: GPL-3.0-or-later
#include "netif/AdapterRules.h"
#include "platform/linux/LinuxAdapterSource.h"
#include "platform/linux/NeighbourTable.h"
#include "support/NetLab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

namespace fw::test {
namespace {

TEST(LinuxAdapterSourceNet, ListsTheTwoEthernetAdaptersOfTheWorkstation) {
    NetLab lab;
    // Interfaces that must not be searched on: a point-to-point tunnel with an address, a link that is
    // down with an address, and a link that is up without one. The first address is searched on, the
    // others are listed with it; the lowest-metric default route of the main table counts.
    lab.sh("ws", "ip tuntap add dev tun0 mode tun; ip addr add 10.66.0.1/30 dev tun0; ip link set tun0 up\n"
                 "ip link add spare0 type veth peer name spare1; ip addr add 10.88.0.1/24 dev spare0\n"
                 "ip link set spare1 up; ip addr add 10.77.1.2/16 dev eth0\n"
                 "ip route add default via 10.77.1.253 dev eth0 metric 300\n"
                 "ip route add default via 10.77.2.250 dev eth1 metric 50 table 100\n"
                 "ip route add default via 10.77.2.253 dev eth1 metric 250");
    lab.enterWorkstation();

    const AdapterSelection s = selectAdapters(LinuxAdapterSource().readListing());
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    for (int i : {0, 1}) {
        const std::string net = "10.77." + std::to_string(i + 1);
        AdapterEntry expected{Ipv4::parse(net + ".1"),   Ipv4::parse("255.255.255.0"),
                              Ipv4::parse(net + ".254"), MacAddress{2, 0xfe, 0, 0, std::uint8_t(i + 1), 1},
                              "eth" + std::to_string(i), s.table[i].interfaceIndex};
        if (i == 0) {
            expected.moreAddresses = {{*Ipv4::parse("10.77.1.2"), *Ipv4::parse("255.255.0.0")}};
        }
        EXPECT_EQ(s.table[i], expected);
    }
    EXPECT_LT(s.table[0].interfaceIndex, s.table[1].interfaceIndex);

    // The skipped interfaces were seen, with the facts that rule them out.
    const AdapterListing listing = LinuxAdapterSource().readListing();
    ASSERT_TRUE(listing.readable);
    EXPECT_TRUE(std::ranges::is_sorted(listing.adapters, {}, &AdapterFacts::interfaceIndex));
    const auto find = [&](const std::string& name) {
        const auto it = std::ranges::find(listing.adapters, name, &AdapterFacts::interfaceName);
        return it == listing.adapters.end() ? AdapterFacts{} : *it;
    };
    EXPECT_TRUE(find("lo").link.value_or(LinkFlags{}).loopback);
    EXPECT_TRUE(find("tun0").link.value_or(LinkFlags{}).pointToPoint);
    EXPECT_EQ(find("tun0").ip, Ipv4::parse("10.66.0.1"));
    EXPECT_EQ(find("tun0").mask, Ipv4::parse("255.255.255.252"));
    EXPECT_FALSE(find("spare0").link.value_or(LinkFlags{true}).up);
    EXPECT_FALSE(find("spare1").ip);

    // With no default route of the main table the gateway is 0.0.0.0; links down leave no adapter.
    lab.sh("ws",
           "ip route del default via 10.77.2.254 dev eth1; ip route del default via 10.77.2.253 dev eth1");
    EXPECT_EQ(selectAdapters(LinuxAdapterSource{}.readListing()).table.at(1).gateway, Ipv4::parse("0.0.0.0"));
    lab.sh("ws", "ip link set eth0 down; ip link set eth1 down");
    EXPECT_EQ(selectAdapters(LinuxAdapterSource{}.readListing()).outcome, AdapterOutcome::NoAdapter);
}

TEST(NeighbourTableNet, RemovesTheEntryOnEveryInterfaceAndNeedsPrivilege) {
    NetLab lab;
    lab.sh("ws", "ip neigh add 10.77.1.10 lladdr 02:00:00:00:00:0a dev eth0 nud permanent\n"
                 "ip neigh add 10.77.1.10 lladdr 02:00:00:00:00:0a dev eth1 nud permanent\n"
                 "ip neigh add 10.77.1.11 lladdr 02:00:00:00:00:0b dev eth0 nud permanent");
    const auto neighbours = [&] {
        return lab.runApart("ws", {"ip", "-4", "neigh", "show"}).out.toStdString();
    };
    lab.enterWorkstation();

    // Without CAP_NET_ADMIN the kernel refuses; that is reported, not raised, and nothing changes.
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
              NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(QByteArray::fromStdString(neighbours()).count("10.77.1.10 "), 2);

    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    EXPECT_EQ(neighbours().find("10.77.1.10 "), std::string::npos) << neighbours();
    EXPECT_NE(neighbours().find("10.77.1.11 "), std::string::npos) << neighbours();
    // Nothing to remove is no failure.
    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
}

} // namespace
} // namespace fw::test
