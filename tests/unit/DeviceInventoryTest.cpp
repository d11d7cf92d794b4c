// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DeviceInventory.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

DeviceRow row(std::uint8_t mac, const char* address, const char* adapter = "10.77.1.1") {
    return DeviceRow{
        "d", ip(address), "net", 6, false, {0, 0x0A, 0x1B, 0, 0, mac}, DeviceKind::AccessPoint, ip(adapter)};
}

// eth0 holds two subnets; eth1 one.
const AdapterTable kAdapters{{ip("10.77.1.1"), ip("255.255.255.0"), {}, {}, "eth0", 2},
                             {ip("10.88.0.1"), ip("255.255.0.0"), {}, {}, "eth0", 2},
                             {ip("10.77.2.1"), ip("255.255.255.0"), {}, {}, "eth1", 3}};

// Each event as "kind:last MAC byte", in the order given.
std::string brief(const std::vector<DeviceInventory::Event>& events) {
    std::string out;
    for (const auto& e : events) {
        out += (out.empty() ? "" : " ") + std::to_string(static_cast<int>(e.kind)) + ":" +
               std::to_string(e.devices.front().mac[5]);
    }
    return out;
}

// Successive searches (each a list of rows) and the events each must give. Kinds by number:
// 0 appeared, 1 changed, 2 gone, 3 duplicate-ip, 4 foreign-subnet, 5 mac-on-two-adapters.
struct Case {
    const char* name;
    std::vector<std::vector<DeviceRow>> searches;
    std::vector<std::string> expected;
};

TEST(DeviceInventory, EventsAndWarningsComeOncePerCondition) {
    const Case cases[] = {
        {"appears once, gone after two misses, back as new",
         {{row(1, "10.77.1.10")}, {row(1, "10.77.1.10")}, {}, {}, {row(1, "10.77.1.10")}},
         {"0:1", "", "", "2:1", "0:1"}},
        {"a miss is forgiven by an answer",
         {{row(1, "10.77.1.10")}, {}, {row(1, "10.77.1.10")}, {}},
         {"0:1", "", "", ""}},
        {"a changed address, then a second subnet of the same adapter is not foreign",
         {{row(1, "10.77.1.10")}, {row(1, "10.88.3.4")}},
         {"0:1", "1:1"}},
        {"duplicate address warned once, again after it cleared",
         {{row(1, "10.77.1.10"), row(2, "10.77.1.10")},
          {row(1, "10.77.1.10"), row(2, "10.77.1.10")},
          {row(1, "10.77.1.10"), row(2, "10.77.1.11")},
          {row(1, "10.77.1.10"), row(2, "10.77.1.10")}},
         {"0:1 0:2 3:1", "", "1:2", "1:2 3:1"}},
        {"one address on two segments is no conflict; one MAC on two adapters is",
         {{row(1, "10.77.1.10"), row(2, "10.77.1.10", "10.77.2.1")},
          {row(3, "10.77.1.30"), row(3, "10.77.1.30", "10.77.2.1")},
          {row(3, "10.77.1.30", "10.77.2.1"), row(3, "10.77.1.30")}},
         {"0:1 0:2 4:2", "0:3 5:3", "2:1 2:2"}},
        {"foreign subnet warned once while it lasts",
         {{row(1, "192.168.99.7")},
          {row(1, "192.168.99.7")},
          {row(1, "10.77.1.7")},
          {row(1, "192.168.99.7")}},
         {"0:1 4:1", "", "1:1", "1:1 4:1"}},
    };
    for (const Case& c : cases) {
        DeviceInventory inventory(2);
        ASSERT_EQ(c.searches.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.searches.size(); ++i) {
            EXPECT_EQ(brief(inventory.update(c.searches[i], kAdapters)), c.expected[i])
                << c.name << ", search " << i;
        }
    }
}

// A search that could not bind port 4001 on an adapter is no miss for the devices behind it.
TEST(DeviceInventory, UnsearchedAdaptersCountNoMiss) {
    DeviceInventory inventory(1);
    inventory.update({row(1, "10.77.1.10")}, kAdapters);
    const Ipv4 busy[] = {ip("10.77.1.1")};
    EXPECT_TRUE(inventory.update({}, kAdapters, busy).empty());
    EXPECT_EQ(brief(inventory.update({}, kAdapters)), "2:1");
}

} // namespace
} // namespace fw
