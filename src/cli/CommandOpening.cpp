// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandOpening.h"

#include "cli/AdapterChoice.h"
#include "cli/CliTargets.h"
#include "common/StringTable.h"

namespace fw::cli {

Result<Opening, ExitStatus> openCommand(CliContext& ctx, const std::vector<std::string>& interfaces,
                                        const TargetOptions& targets, const std::function<bool()>& refuse,
                                        std::string_view noAdapter) {
    const auto choice = chooseAdapters(ctx.host.readAdapters(), interfaces, targets.any());
    if (!choice) {
        ctx.console.err(adapterChoiceText(choice.error()));
        return Failure{ExitStatus::Usage};
    }
    const AdapterSelection& selection = *choice;
    if (selection.outcome != AdapterOutcome::Ok) {
        ctx.console.err(!noAdapter.empty() ? noAdapter
                        : selection.outcome == AdapterOutcome::StatusError
                            ? loadResString(Str::AdapterStatusError)
                            : loadResString(Str::NoAdapter));
        return Failure{ExitStatus::Usage};
    }
    if (refuse && refuse()) {
        return Failure{ExitStatus::Usage};
    }
    auto sweep = commandSweep(ctx, targets, selection.table);
    if (!sweep) {
        return Failure{sweep.error()};
    }
    return Opening{selection.table, std::move(*sweep)};
}

} // namespace fw::cli
