// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// search: one discovery request on every usable adapter (or by unicast to the targets); the
// devices that answered go to stdout as a table, JSON or CSV.
extern const CommandSpec kSearchSpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const SearchCommand& command);

} // namespace fw::cli
