// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

namespace fw::cli {

// The file side of a command's JSON report (a rollout's, a plan's): it is replaced atomically, so an
// interrupted run leaves the last whole one, and refused before anything is sent when it could not
// be written. `isReport` tells this command's reports from other documents; `what` names them
// ("a rollout report").
struct ReportKind {
    bool (*isReport)(const nlohmann::json& document);
    std::string_view what;
};

// The whole of a file a run reads (a device list, a plan, a targets file), or the system's reason
// it could not be read. The lines' reader (forEachLine) drops a UTF-8 byte order mark.
Result<std::string, std::error_code> readTextFile(const std::string& path);

// A member of a report's object, or the type's empty value when it is missing or of another type.
template <typename T> T jsonMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || (std::is_same_v<T, std::string> ? !it->is_string() : !it->is_number())) {
        return T{};
    }
    return it->get<T>();
}

// Replaces the file by one holding `text` (a link's target for a link); the system's reason when
// it could not.
Status<std::error_code> replaceReport(const std::string& path, const std::string& text);

// Why a report file could not be read, or why a report cannot go to a path.
enum class ReportError {
    Unreadable,       // reason: the system's
    NotReport,        // not a document of the kind; what: the kind's name
    IsFolder,         // the path is a folder
    IsInput,          // the path is one of the run's inputs; what: what it is ("the plan")
    ExistsUnreadable, // a file is there that cannot be read; reason: the system's
    ExistsNotReport,  // a non-empty file is there that is no report of the kind; what: the kind's name
    NoFolder,         // folder: the missing one
    FolderClosed,     // no file can be made in folder; reason: the system's
};

struct ReportProblem {
    ReportError error = ReportError::Unreadable;
    std::string what;
    std::error_code reason;
    std::filesystem::path folder;
};

// The problem as the end of a sentence about the file: "cannot be read: " and the system's reason,
// "is not a rollout report", "is a folder", ...
std::string reportProblemText(const ReportProblem& problem);

// The report's document, or why the file (which exists) is none: Unreadable or NotReport.
Result<nlohmann::json, ReportProblem> readReport(const std::string& path, ReportKind kind);

// The document of a report a run resumes from (--skip-done), none when no file is at `path`; as
// readReport when one is.
Result<std::optional<nlohmann::json>, ReportProblem> readEarlierReport(const std::string& path,
                                                                       ReportKind kind);

// Whether a report can go to `path`: not when the folder is missing or cannot be written, the path
// is a folder, one of `inputs` ({path, what it is}), or a non-empty file that is no report of the
// kind.
Status<ReportProblem> checkWritable(const std::string& path,
                                    const std::vector<std::pair<std::string, std::string>>& inputs,
                                    ReportKind kind);

// Saves the entries of the settled jobs (each with `settled` and `entry`), in job order: what a
// run's report holds after each job. The system's reason when the file could not be replaced.
template <typename Report, typename Job>
Status<std::error_code> saveSettled(Report& report, const std::string& path, const std::vector<Job>& jobs) {
    std::vector<decltype(Job::entry)> entries;
    for (const Job& j : jobs) {
        if (j.settled) {
            entries.push_back(j.entry);
        }
    }
    return report.save(path, entries);
}

} // namespace fw::cli
