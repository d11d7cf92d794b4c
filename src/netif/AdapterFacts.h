// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"

#include <optional>
#include <string>
#include <vector>

namespace fw {

// Link state as Linux reports it; absent on platforms that describe adapters by name only.
struct LinkFlags {
    bool up = false;
    bool loopback = false;
    bool pointToPoint = false;
    bool carrier = true; // the driver reports a link partner (IFF_LOWER_UP)
};

// What the platform tells about one adapter, before any rule is applied.
struct AdapterFacts {
    std::string description;
    std::optional<Ipv4> ip;      // the first IPv4 address; none when the adapter has none
    std::optional<Ipv4> mask;    // the mask belonging to ip
    std::optional<Ipv4> gateway; // the first default gateway; none when there is none
    MacAddress mac{};
    std::string interfaceName;
    int interfaceIndex = 0;
    std::optional<LinkFlags> link;
    int masterIndex = 0;                         // the bridge or bond this interface is a port of; 0 for none
    std::vector<AdapterAddress> moreAddresses{}; // the IPv4 addresses after ip, in the platform's order
};

// Where the facts came from. The main path is the full adapter list; the fallback path is the
// interface table, which knows no gateways and names adapters by their exact description.
enum class ListingPath { Main, Fallback };

struct AdapterListing {
    bool readable = false; // false: the platform could not be asked at all
    ListingPath path = ListingPath::Main;
    std::vector<AdapterFacts> adapters; // in the platform's order
};

} // namespace fw
