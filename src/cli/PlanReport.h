// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/ReportFile.h"
#include "common/Result.h"
#include "setip/PlanEntry.h"

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace fw::cli {

// A plan's report: {"plan", "rows": [{"line", "mac", "label", "planned_ip" (an address or "dhcp"),
// "mask", "gateway" (null for DHCP), "old_ip" (where the search before the run found it), "ip"
// (where it last answered from), "name", "adapter", "state", "detail", "seconds", "earlier"}]},
// replaced atomically so an interrupted run leaves the last whole one.
class PlanReport {
public:
    explicit PlanReport(std::string plan);

    // The system's reason when the file could not be written.
    Status<std::error_code> save(const std::string& path, const std::vector<PlanEntry>& entries) const;

    // The rows as "rows" lists them: set-ip --plan --format json writes this array.
    static nlohmann::json rows(const std::vector<PlanEntry>& entries);

    // The entries a report lists as done or unchanged; none for a missing file. The string is the
    // reason a file that is there could not be used.
    static Result<std::vector<PlanEntry>, ReportProblem> settledIn(const std::string& path);

    // What tells its report from other files: what checkWritable and readReport take.
    static ReportKind kind();

    // The table printed at the end: one aligned line per row, then "N of M rows done or unchanged".
    static std::string summary(const std::vector<PlanEntry>& entries);

private:
    std::string plan_;
};

} // namespace fw::cli
