// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/ReportFile.h"
#include "common/Result.h"
#include "upgrade/RolloutEntry.h"

#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace fw::cli {

// A rollout's report: {"image", "image_sha256", "devices": [{"target", "mac", "ip", "name",
// "adapter", "state", "detail", "bytes", "upload_seconds", "back_seconds", "retransmissions",
// "timeouts", "earlier"}]}, replaced atomically so an interrupted rollout leaves the last whole one.
class RolloutReport {
public:
    RolloutReport(std::string image, std::span<const std::uint8_t> bytes);

    // {"image", "image_sha256", "devices"}: what save() writes, and upgrade --format json prints.
    nlohmann::json document(const std::vector<RolloutEntry>& entries) const;

    // The system's reason when the file could not be written.
    Status<std::error_code> save(const std::string& path, const std::vector<RolloutEntry>& entries) const;

    // The entries a report lists as done with this very image (by its SHA-256); none for a missing
    // file. The problem: why a file that is there could not be used.
    Result<std::vector<RolloutEntry>, ReportProblem> doneIn(const std::string& path) const;

    // What tells its report from other files: what checkWritable and readReport take.
    static ReportKind kind();

    // The table printed at the end: one aligned line per device, then "N of M devices done".
    static std::string summary(const std::vector<RolloutEntry>& entries);

    // Readies libgcrypt, which hashes the image; main calls it first thing, the constructor again
    // (only the first call does anything).
    static void initialiseHashing();

private:
    std::string image_;
    std::string sha256_;
};

} // namespace fw::cli
