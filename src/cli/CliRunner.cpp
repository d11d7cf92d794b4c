// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "cli/CliDoctor.h"
#include "cli/CliInventory.h"
#include "cli/CliSearch.h"
#include "cli/CliSetIp.h"
#include "cli/CliUpgrade.h"
#include "cli/CliWatch.h"
#include "cli/FleetCommand.h"

namespace fw::cli {

asio::awaitable<ExitStatus> runCommand(CliContext& ctx, Command command) {
    // Each command's file declares its run(); a command without one does not compile.
    co_return co_await std::visit([&ctx](const auto& c) { return run(ctx, c); }, command);
}

} // namespace fw::cli
