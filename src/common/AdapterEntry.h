// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/MacAddress.h"

#include <string>
#include <vector>

namespace fw {

// One local adapter that searches run on. Addresses are dotted text, as every window shows them.
struct AdapterEntry {
    std::string ip;
    std::string mask;
    std::string gateway; // "0.0.0.0" when none is known
    MacAddress mac{};
    std::string interfaceName; // the kernel's name (eth0); sockets are tied to the adapter by it
    int interfaceIndex = 0;

    bool operator==(const AdapterEntry&) const = default;
};

// At most kMaxAdapters entries, in the platform's order. Entry i belongs to discovery socket i.
using AdapterTable = std::vector<AdapterEntry>;
inline constexpr std::size_t kMaxAdapters = 11;

} // namespace fw
