// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "common/RecordHeader.h"
#include "common/Result.h"
#include "discovery/core/SearchCountdown.h"
#include "engine/SearchDriver.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <optional>
#include <string>

namespace fw::cli {

// The window's countdown (15 steps of 0.2 s): how long the searches that find a command's devices
// wait, ended early once they have answered.
inline constexpr std::chrono::milliseconds kSearchWait = SearchCountdown::kSteps * SearchCountdown::kStep;

using SearchSummary = engine::SearchDriver::Summary;
using StopWhen = engine::SearchDriver::StopWhen;

// One search on `table` until a listed row satisfies stopWhen or the wait is over; its sockets are
// closed when it returns, so Set IP or an upload can take port 4001 afterwards.
asio::awaitable<SearchSummary> searchOnce(CliContext& ctx, const AdapterTable& table,
                                          std::chrono::milliseconds wait, StopWhen stopWhen = {},
                                          DiscoverySearch::Keying keying = DiscoverySearch::Keying::Sender);

// The same, with the one policy for an adapter whose port 4001 could not be bound: the search goes
// on without it and each such problem is said once per run; a search that could send nothing ends
// the command with Usage.
asio::awaitable<Result<SearchSummary, ExitStatus>>
search(CliContext& ctx, const AdapterTable& table, std::chrono::milliseconds wait, StopWhen stopWhen = {},
       DiscoverySearch::Keying keying = DiscoverySearch::Keying::Sender);

// Another program holds port 4001 on one of the adapters: it takes the answers that arrive there,
// so the search is incomplete however many devices it listed elsewhere.
bool portTaken(const SearchSummary& summary);

// "UDP port 4001 on eth1 (10.77.2.1) is in use by another program" for a port another program
// holds, otherwise "cannot use UDP port 4001 on eth1 (10.77.2.1): " and the system's reason.
std::string portProblem(const std::string& adapter, const std::optional<Ipv4>& ip,
                        const engine::SocketError& error, std::uint16_t port = kWorkstationPort);

} // namespace fw::cli
