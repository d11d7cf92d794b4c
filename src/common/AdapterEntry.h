// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"

#include <optional>
#include <string>
#include <vector>

namespace fw {

// One IPv4 address of an adapter, with the mask of its subnet.
struct AdapterAddress {
    Ipv4 ip;
    Ipv4 mask;

    bool operator==(const AdapterAddress&) const = default;
};

// One local adapter that searches run on. An address is absent only where the platform's interface
// table gave none; windows show that as an empty box.
struct AdapterEntry {
    std::optional<Ipv4> ip;
    std::optional<Ipv4> mask;
    std::optional<Ipv4> gateway; // 0.0.0.0 when the adapter has an address but no default gateway
    MacAddress mac{};
    std::string interfaceName; // the kernel's name (eth0); sockets are tied to the adapter by it
    int interfaceIndex = 0;
    // A point-to-point link (a VPN's tunnel): only a routed search's unicast requests use it, since
    // it carries no broadcast.
    bool tunnel = false;
    // The adapter's further IPv4 addresses, after ip: searches run on the first alone, but the host
    // answers for each of them and each subnet's ends are the host's.
    std::vector<AdapterAddress> moreAddresses{};

    bool operator==(const AdapterEntry&) const = default;
};

// Every IPv4 address of the adapter with its mask, ip first; none when it has no address.
inline std::vector<AdapterAddress> addressesOf(const AdapterEntry& e) {
    std::vector<AdapterAddress> all;
    if (e.ip) {
        all.push_back({*e.ip, e.mask.value_or(Ipv4::broadcast())});
    }
    all.insert(all.end(), e.moreAddresses.begin(), e.moreAddresses.end());
    return all;
}

// In the platform's order, every usable adapter however many there are. Entry i belongs to
// discovery socket i.
using AdapterTable = std::vector<AdapterEntry>;

} // namespace fw
