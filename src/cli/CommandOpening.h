// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandSearch.h"
#include "common/AdapterEntry.h"
#include "common/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw::cli {

// What a command that looks for devices starts from: the adapters it searches and its targets'
// sweep (none without targets).
struct Opening {
    AdapterTable table;
    std::optional<Sweep> sweep;
};

// The command's adapters (the named ones or every usable one; with targets point-to-point links
// too), then, unless `refuse` has said why the command stops there, its targets read and judged
// against them. Usage after saying why. noAdapter: said instead of strings 29 and 30 (a watch).
Result<Opening, ExitStatus> openCommand(CliContext& ctx, const std::vector<std::string>& interfaces,
                                        const TargetOptions& targets,
                                        const std::function<bool()>& refuse = {},
                                        std::string_view noAdapter = {});

} // namespace fw::cli
