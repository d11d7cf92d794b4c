// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/ReportFile.h"
#include "common/FleetEntry.h"
#include "common/MacAddress.h"
#include "common/Result.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace fw::cli {

// What every entry of a fleet command's report (a plan's, a rollout's) holds: "ip", "name",
// "adapter", "state", "detail" and "earlier".
nlohmann::json fleetEntryJson(const FleetEntry& entry);

// Reads those members of an entry as this program wrote them into `entry`, marked earlier (it is
// carried over), and returns its "mac"; none when the state or the MAC is missing or unknown, so a
// hand-edited entry is sent again.
std::optional<MacAddress> readFleetEntry(const nlohmann::json& object, FleetEntry& entry);

// The table's state column: "done", or "done (earlier)" for one carried over.
std::string fleetStateText(const FleetEntry& entry);

// The entries of the report a run resumes from (--skip-done), none when no file is at `path`: each
// of the array `list` that `parse` reads and `keep` takes (given the whole document too).
template <class Entry, class Parse, class Keep>
Result<std::vector<Entry>, ReportProblem> earlierEntries(const std::string& path, ReportKind kind,
                                                         const char* list, Parse parse, Keep keep) {
    const auto read = readEarlierReport(path, kind);
    if (!read) {
        return Failure{read.error()};
    }
    std::vector<Entry> kept;
    for (const nlohmann::json& v : *read ? (**read)[list] : nlohmann::json::array()) {
        if (std::optional<Entry> e = parse(v); e && keep(**read, *e)) {
            kept.push_back(std::move(*e));
        }
    }
    return kept;
}

} // namespace fw::cli
