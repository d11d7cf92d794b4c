// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// What the platform tells about one adapter, before any rule is applied. Addresses are dotted text.
struct AdapterFacts {
    std::string description;
    std::string ip;      // the first IPv4 address; empty when the adapter has none
    std::string mask;    // the mask belonging to ip
    std::string gateway; // the first default gateway; empty when none
    MacAddress mac{};
    std::string interfaceName;
    int interfaceIndex = 0;
    std::optional<LinkFlags> link;
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
