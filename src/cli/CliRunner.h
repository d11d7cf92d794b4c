// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// Runs one parsed command (parseCommandLine) to its end; returns its exit status.
asio::awaitable<ExitStatus> runCommand(CliContext& ctx, Command command);

} // namespace fw::cli
