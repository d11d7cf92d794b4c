// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "netif/core/AdapterFacts.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// True (after saying why) when the command would give the device an address one of this host's
// adapters holds, searched on or not: the device would be cut off. --force does not change that.
bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console);

// set-ip: one Set IP request from the adapter the device is on (found by a search when there are
// several), sent again with the same number while no answer has come; the answer goes to stdout.
// With --verify a search first refuses an address another device already answers from (unless
// --force), and after the device's OK searches until its MAC answers from the new address (for
// DHCP: from any address) or the verification time is over. A device found at one of its
// --target addresses gets the request there by unicast; its answer, a broadcast, may not come back
// across a router, so with --verify no answer is followed by that search too, there by unicast.
asio::awaitable<ExitStatus> runSetIp(CliContext& ctx, const SetIpCommand& command);

} // namespace fw::cli
