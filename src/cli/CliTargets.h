// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandSearch.h"
#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/Result.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw::cli {

// The sweep of a command's target options against the adapters it searches: none when no target
// was given. The targets file is read here; every bad target (with its file line), a refused one
// and the cap are each said on stderr, and the command ends with Usage before anything is sent.
Result<std::optional<Sweep>, ExitStatus> commandSweep(CliContext& ctx, const TargetOptions& options,
                                                      const AdapterTable& table);

// A sweep of a few known addresses, such as a routed device's, to find or check it there. An
// address that could not be a device's (loopback, a subnet's broadcast address...) is left out.
Sweep sweepOf(std::span<const Ipv4> addresses, const AdapterTable& table, bool broadcast = false,
              int rate = SweepPacer::kDefaultRate);

// One problem of the targets as the operator reads it: "targets.txt:3: '10.1.2.0/16': ...".
std::string targetProblemText(const TargetProblem& problem, const std::string& file);

} // namespace fw::cli
