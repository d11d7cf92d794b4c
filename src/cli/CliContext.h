// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Console.h"
#include "common/Ipv4.h"
#include "engine/EndpointFactory.h"
#include "netif/core/AdapterFacts.h"

#include <functional>
#include <set>
#include <string>

namespace fw::cli {

// What every command runs with. The adapter listing, the sockets and the neighbour flush come from
// outside, so the program uses the kernel's and a test may use fakes.
struct CliContext {
    Console& console;
    engine::EndpointFactory& endpoints;
    std::function<AdapterListing()> listAdapters;
    std::function<void(Ipv4)> flushNeighbour; // fails silently without the privilege
    std::set<std::string> portProblemsSaid;   // each is said once per run
};

} // namespace fw::cli
