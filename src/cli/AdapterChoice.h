// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/Result.h"
#include "netif/AdapterFacts.h"
#include "netif/AdapterSelection.h"

#include <string>
#include <vector>

namespace fw::cli {

enum class AdapterChoiceError {
    Unknown,  // no adapter has the name; usable: the names of those that could be named
    Unusable, // down, a loopback, a tunnel (without targets) or without an IPv4 address
};

struct AdapterChoiceProblem {
    AdapterChoiceError error = AdapterChoiceError::Unknown;
    std::string name; // Unknown, Unusable: the name as given
    std::vector<std::string> usable;
};

// The adapters a command runs on: every usable one, or, when names are given, exactly the named
// ones.
// An unknown or unusable name is a problem naming it; the two fatal outcomes stay outcomes so the
// caller shows string 29 or 30. withTunnels (a command with targets): point-to-point links too.
Result<AdapterSelection, AdapterChoiceProblem> chooseAdapters(const AdapterListing& listing,
                                                              const std::vector<std::string>& names,
                                                              bool withTunnels = false);

// "no adapter named 'eth9' (usable: eth0, eth1)" and the like.
std::string adapterChoiceText(const AdapterChoiceProblem& problem);

// The adapter whose address is ip, or null.
const AdapterEntry* adapterAt(const AdapterTable& table, Ipv4 ip);
// The interface name of the adapter whose address is ip; the address itself when none has it.
std::string adapterName(const AdapterTable& table, Ipv4 ip);

} // namespace fw::cli
