// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CliSearch.h"
#include "cli/CommandLine.h"
#include "common/Result.h"
#include "discovery/core/DeviceRow.h"

#include <asio/awaitable.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw::cli {

// Runs one parsed command to its end; returns its exit status.
asio::awaitable<ExitStatus> runCommand(CliContext& ctx, Command command);

} // namespace fw::cli
