// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "common/RecordHeader.h"
#include "common/Result.h"
#include "discovery/SearchCountdown.h"
#include "engine/SearchDriver.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace fw::cli {

// The searches that find a command's devices wait as long as the window's countdown
// (SearchCountdown::kWait), ended early once they have answered.

using SearchSummary = SearchJob::Outcome;
using SearchRequest = SearchJob::Request;
using StopWhen = SearchJob::StopWhen;
using Sweep = SearchJob::Sweep; // CliTargets.h makes one

// Every search of the command line starts here: the request on its adapters, whatever it could not
// do left to the caller (a watch and the doctor report it their own way).
asio::awaitable<SearchSummary> searchOnce(CliContext& ctx, SearchRequest request);

// A command's search: the request on `table` until a listed row satisfies its stopWhen or the wait
// is over; its sockets are closed when it returns, so Set IP or an upload can take port 4001
// afterwards. With a sweep, its targets are searched by unicast (and the adapters by broadcast only
// when it says so); the wait then counts from its last request. The one policy for an adapter whose
// port 4001 could not be bound is searchSent's.
asio::awaitable<Result<SearchSummary, ExitStatus>> search(CliContext& ctx, const SearchRequest& request);

// The policy for what a search could not do: it went on without an adapter whose port 4001 could
// not be bound, and each such problem is said once per run; so are the sweep's addresses that were
// not sent to; a search that could send nothing ends the command with Usage.
Status<ExitStatus> searchSent(CliContext& ctx, const SearchSummary& summary);

// A search for one device (the first row that satisfies the request's stopWhen): its row, or none.
// Usage when it found none while another program held port 4001 somewhere (the device may be
// behind that adapter).
asio::awaitable<Result<std::optional<DeviceRow>, ExitStatus>> searchDevice(CliContext& ctx,
                                                                           const SearchRequest& request);

// "3 target addresses skipped: no route to them" and the like, one line per reason; none when
// every address was sent to.
std::vector<std::string> sweepProblems(const SearchJob::Swept& swept);

// Another program holds port 4001 on one of the adapters: it takes the answers that arrive there,
// so the search is incomplete however many devices it listed elsewhere.
bool portTaken(const SearchSummary& summary);

// The adapters where another program holds port 4001, "eth1" or "eth1, eth2"; empty when none.
std::string portTakenOn(const SearchSummary& summary);

// "UDP port 4001 on eth1 (10.77.2.1) is in use by another program" for a port another program
// holds, otherwise "cannot use UDP port 4001 on eth1 (10.77.2.1): " and the system's reason.
std::string portProblem(const std::string& adapter, const std::optional<Ipv4>& ip, const SocketError& error,
                        std::uint16_t port = kWorkstationPort);

} // namespace fw::cli
