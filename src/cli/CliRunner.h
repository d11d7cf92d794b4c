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

// The adapters of the command; Usage after the reason was said.
Result<AdapterTable, ExitStatus> commandAdapters(CliContext& ctx, const std::vector<std::string>& names,
                                                 bool withTunnels = false);

// Searches until a row satisfies `wanted` or the window's wait is over: the row, or none. Usage when
// the search could send nothing, or found nothing while another program held port 4001 somewhere
// (the device may be behind that adapter). With a sweep, the device is looked for at its targets.
asio::awaitable<Result<std::optional<DeviceRow>, ExitStatus>>
locate(CliContext& ctx, const AdapterTable& table, std::function<bool(const DeviceRow&)> wanted,
       std::optional<Sweep> sweep = std::nullopt);

} // namespace fw::cli
