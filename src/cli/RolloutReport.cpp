// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RolloutReport.h"

#include "cli/DeviceReport.h"
#include "cli/FleetReport.h"
#include "cli/ProgressText.h"
#include "cli/ReportFile.h"
#include "common/DeviceText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <gcrypt.h>

namespace fw::cli {
namespace {

using nlohmann::json;

json toJson(const RolloutEntry& e) {
    json o = fleetEntryJson(e);
    o.update({{"target", e.target},
              {"mac", e.mac ? json(formatMac(*e.mac)) : json(nullptr)},
              {"bytes", e.bytes},
              {"upload_seconds", e.uploadSeconds},
              {"back_seconds", e.backSeconds},
              {"retransmissions", e.retransmissions},
              {"timeouts", e.timeouts}});
    return o;
}

std::optional<RolloutEntry> fromJson(const json& o) {
    RolloutEntry e;
    e.mac = readFleetEntry(o, e);
    if (!e.mac) {
        return std::nullopt;
    }
    e.target = jsonMember<std::string>(o, "target");
    e.bytes = jsonMember<std::uint64_t>(o, "bytes");
    e.uploadSeconds = jsonMember<double>(o, "upload_seconds");
    e.backSeconds = jsonMember<double>(o, "back_seconds");
    e.retransmissions = jsonMember<int>(o, "retransmissions");
    e.timeouts = jsonMember<int>(o, "timeouts");
    return e;
}

bool isRolloutReport(const json& doc) {
    return doc.is_object() && doc.contains("devices") && doc["devices"].is_array() &&
           doc.contains("image_sha256") && doc["image_sha256"].is_string();
}
constexpr ReportKind kRolloutReport{isRolloutReport, "a rollout report"};

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
    RolloutReport::initialiseHashing();
    std::array<unsigned char, 32> digest{};
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), bytes.data(), bytes.size());
    std::string hex;
    for (const unsigned char b : digest) {
        std::array<char, 3> two{};
        std::snprintf(two.data(), two.size(), "%02x", b);
        hex += two.data();
    }
    return hex;
}

} // namespace

void RolloutReport::initialiseHashing() {
    // Runs once: the hash needs nothing but the version check and the end of initialisation.
    static const bool ready = [] {
        gcry_check_version(GCRYPT_VERSION);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

RolloutReport::RolloutReport(std::string image, std::span<const std::uint8_t> bytes)
    : image_(std::move(image)), sha256_(sha256Hex(bytes)) {}

json RolloutReport::document(const std::vector<RolloutEntry>& entries) const {
    json devices = json::array();
    for (const RolloutEntry& e : entries) {
        devices.push_back(toJson(e));
    }
    return {{"image", image_}, {"image_sha256", sha256_}, {"devices", devices}};
}

Status<std::error_code> RolloutReport::save(const std::string& path,
                                            const std::vector<RolloutEntry>& entries) const {
    return replaceReport(path, indentedJson(document(entries)));
}

Result<std::vector<RolloutEntry>, ReportProblem> RolloutReport::doneIn(const std::string& path) const {
    // Another image's report: nothing of it is done with this one.
    return earlierEntries<RolloutEntry>(
        path, kRolloutReport, "devices", fromJson, [this](const json& doc, const RolloutEntry& e) {
            return doc["image_sha256"].get<std::string>() == sha256_ && e.state == RolloutState::Done;
        });
}

ReportKind RolloutReport::kind() {
    return kRolloutReport;
}

std::string RolloutReport::summary(const std::vector<RolloutEntry>& entries) {
    std::vector<std::vector<std::string>> lines{
        {"DEVICE", "MAC", "ADAPTER", "STATE", "BYTES", "SECONDS", "RETX", "T/O", "DETAIL"}};
    std::size_t done = 0;
    for (const RolloutEntry& e : entries) {
        done += e.state == RolloutState::Done ? 1 : 0;
        lines.push_back({e.target, e.mac ? formatMac(*e.mac) : "-", e.adapter.empty() ? "-" : e.adapter,
                         fleetStateText(e), std::to_string(e.bytes),
                         tenthsText(e.uploadSeconds + e.backSeconds), std::to_string(e.retransmissions),
                         std::to_string(e.timeouts), printableText(e.detail)});
    }
    const std::string out = alignedLines(lines);
    return out + std::to_string(done) + " of " + std::to_string(entries.size()) + " devices done\n";
}

} // namespace fw::cli
