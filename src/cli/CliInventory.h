// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// `inventory list|name|note|forget`: the inventory file that watch and search --inventory keep,
// listed, or the operator's name and note set, or a device forgotten.
extern const CommandSpec kInventorySpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const InventoryCommand& command);

// The options watch and search take for the inventory, and watch's for its hook.
inline constexpr OptionRow kInventoryFile{"--inventory", "FILE",
                                          "keep every device seen in FILE (JSON): first and last seen,\n"
                                          "last address, adapter; locked while in use"};
inline constexpr OptionRow kOnEvent{"--on-event", "CMD",
                                    "run CMD for each event, the event's JSON on its standard input\n"
                                    "(split into words, no shell; see the description)"};
inline constexpr OptionRow kOnEventTimeout{"--on-event-timeout", "S", "seconds after which a hook is ended",
                                           [] {
                                               return seconds(WatchCommand{}.onEventTimeout);
                                           }};
// --inventory's file name (empty refused); watch's --on-event and --on-event-timeout too.
std::optional<ParsedCommandLine> inventoryOption(const Options& o, std::string& into);
std::optional<ParsedCommandLine> hookOptions(const Options& o, WatchCommand& into);

} // namespace fw::cli
