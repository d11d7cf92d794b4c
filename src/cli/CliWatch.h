// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// `watch`: a search every interval, each holding its sockets only while it waits for answers, fed
// into a DeviceInventory whose events are written as JSON lines, plain lines or a live table.
// SIGINT and SIGTERM end it with status 0.
extern const CommandSpec kWatchSpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const WatchCommand& command);

} // namespace fw::cli
