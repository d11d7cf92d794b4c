// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "netif/core/AdapterFacts.h"
#include "netif/core/AdapterSelection.h"

#include <string>
#include <variant>
#include <vector>

namespace fw::cli {

// The adapters a command runs on: the usable ones, or, when names are given, exactly the named
// ones (chosen from the whole listing, so the eleven-adapter cap cannot hide a named one).
// An unknown or unusable name is an error naming it; the two fatal outcomes stay outcomes so the
// caller shows string 29 or 30. withTunnels (a command with targets): point-to-point links too.
std::variant<AdapterSelection, std::string> chooseAdapters(const AdapterListing& listing,
                                                           const std::vector<std::string>& names,
                                                           bool withTunnels = false);

// The adapter whose address is ip, or null.
const AdapterEntry* adapterAt(const AdapterTable& table, Ipv4 ip);
// The interface name of the adapter whose address is ip; the address itself when none has it.
std::string adapterName(const AdapterTable& table, Ipv4 ip);

} // namespace fw::cli
