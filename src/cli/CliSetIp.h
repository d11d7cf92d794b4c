// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/Console.h"
#include "common/Result.h"
#include "common/SocketError.h"
#include "netif/AdapterFacts.h"
#include "setip/SetIpExchange.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <optional>
#include <string>

namespace fw::cli {

// --verify, --force and the targets, read alike by set-ip and its plan form: --force (but with
// targets) and --verify-timeout need --verify.
template <class Command>
std::optional<ParsedCommandLine> verifyAndTargetOptions(const Options& o, Command& c) {
    c.verify = o.isSet("verify");
    c.force = o.isSet("force");
    if (auto e = targetOptions(o, c.targets, true)) {
        return e;
    }
    if (!c.verify && ((c.force && !c.targets.any()) || o.isSet("verify-timeout"))) {
        return o.failure("--force and --verify-timeout need --verify");
    }
    return std::nullopt;
}

// The interface of this host that holds the address as its first or any further one, searched on
// or not; none when no adapter does.
std::optional<std::string> hostAdapterHolding(const AdapterListing& listing, Ipv4 ip);

// True (after saying why) when the command would give the device an address one of this host's
// adapters holds, searched on or not: the device would be cut off. --force does not change that.
bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console);

// One Set IP request from the adapter, through the exchange the window uses, sent again with the
// same number up to `retries` times while no answer has come: the answer, none without one, or why
// port 4001 could not be had there. Set IP by MAC and set-ip --plan send through it alike.
// device: its address, for one behind a router: the request goes there by unicast.
asio::awaitable<Result<std::optional<SetIpAnswer>, SocketError>>
sendSetIp(CliContext& ctx, const AdapterTable& table, const AdapterEntry& adapter, const MacAddress& mac,
          const std::optional<FixedAddress>& address, int retries, std::chrono::milliseconds timeout,
          std::optional<Ipv4> device = std::nullopt);

// set-ip: one Set IP request from the adapter the device is on (found by a search when there are
// several), sent again with the same number while no answer has come; the answer goes to stdout.
// With --verify a search first refuses an address another device already answers from (unless
// --force), and after the device's OK searches until its MAC answers from the new address (for
// DHCP: from any address) or the verification time is over. A device found at one of its
// --target addresses gets the request there by unicast; its answer, a broadcast, may not come back
// across a router, so with --verify no answer is followed by that search too, there by unicast.
// A dry run always searches, and stops where the request would be sent.
extern const CommandSpec kSetIpSpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const SetIpCommand& command);

} // namespace fw::cli
