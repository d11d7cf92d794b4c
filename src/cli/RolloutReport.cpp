// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RolloutReport.h"

#include "cli/DeviceReport.h"
#include "common/Latin1.h"
#include "platform/Host.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gcrypt.h>
#include <iterator>

namespace fw::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json toJson(const RolloutEntry& e) {
    return {{"target", e.target},
            {"mac", e.mac ? json(formatMac(*e.mac)) : json(nullptr)},
            {"ip", e.ip ? json(e.ip->toString()) : json(nullptr)},
            {"name", latin1ToUtf8(e.name)},
            {"adapter", e.adapter},
            {"state", std::string(rolloutStateName(e.state))},
            {"detail", e.detail},
            {"bytes", e.bytes},
            {"upload_seconds", e.uploadSeconds},
            {"back_seconds", e.backSeconds},
            {"retransmissions", e.retransmissions},
            {"timeouts", e.timeouts},
            {"earlier", e.earlier}};
}

// A member's value, or the type's empty value when it is missing or of another type.
template <typename T> T member(const json& o, const char* key) {
    const auto it = o.find(key);
    if (it == o.end() || (std::is_same_v<T, std::string> ? !it->is_string() : !it->is_number())) {
        return T{};
    }
    return it->get<T>();
}

std::optional<RolloutEntry> fromJson(const json& o) {
    if (!o.is_object()) {
        return std::nullopt;
    }
    const auto state = rolloutStateNamed(member<std::string>(o, "state"));
    const auto mac = parseMac(member<std::string>(o, "mac"));
    if (!state || !mac) {
        return std::nullopt;
    }
    RolloutEntry e;
    e.target = member<std::string>(o, "target");
    e.mac = mac;
    e.ip = Ipv4::parse(member<std::string>(o, "ip"));
    e.name = utf8ToLatin1(member<std::string>(o, "name"));
    e.adapter = member<std::string>(o, "adapter");
    e.state = *state;
    e.detail = member<std::string>(o, "detail");
    e.bytes = member<std::uint64_t>(o, "bytes");
    e.uploadSeconds = member<double>(o, "upload_seconds");
    e.backSeconds = member<double>(o, "back_seconds");
    e.retransmissions = member<int>(o, "retransmissions");
    e.timeouts = member<int>(o, "timeouts");
    e.earlier = true;
    return e;
}

// The report's document, or why the file is not a rollout report. The file exists.
std::variant<json, std::string> readReport(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::string(std::strerror(errno));
    }
    json doc =
        json::parse(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("devices") || !doc["devices"].is_array() ||
        !doc.contains("image_sha256") || !doc["image_sha256"].is_string()) {
        return std::string("not a rollout report");
    }
    return doc;
}

std::string seconds(double s) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", s);
    return buffer;
}

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

// The folder a report at `path` is replaced in, absolute: renaming works only within it.
fs::path folderOf(const fs::path& path) {
    return fs::absolute(path).lexically_normal().parent_path();
}

// Replaces `path` by a file holding `text`, or leaves it as it was: written to a new file beside
// it, flushed to the disk, then renamed over it. The error is the system's reason.
Status<std::string> replaceFile(const fs::path& given, const std::string& text) {
    // A link stays a link: the file it points to is the one replaced.
    fs::path path = given;
    if (std::error_code ec; fs::is_symlink(given, ec)) {
        path = fs::canonical(given, ec);
        if (ec) {
            return Failure{ec.message()};
        }
    }
    if (auto problem = host::replaceFile(folderOf(path) / path.filename(), text)) {
        return Failure{std::move(*problem)};
    }
    return Done{};
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

Status<std::string> RolloutReport::save(const std::string& path,
                                        const std::vector<RolloutEntry>& entries) const {
    json devices = json::array();
    for (const RolloutEntry& e : entries) {
        devices.push_back(toJson(e));
    }
    const json root{{"image", image_}, {"image_sha256", sha256_}, {"devices", devices}};
    return replaceFile(path, indentedJson(root));
}

std::variant<std::vector<RolloutEntry>, std::string> RolloutReport::doneIn(const std::string& path) const {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        return std::vector<RolloutEntry>{};
    }
    const auto read = readReport(path);
    if (const auto* problem = std::get_if<std::string>(&read)) {
        return *problem;
    }
    const json& doc = std::get<json>(read);
    std::vector<RolloutEntry> done;
    if (doc["image_sha256"].get<std::string>() != sha256_) {
        return done; // another image: nothing of it is done with this one
    }
    for (const json& v : doc["devices"]) {
        const auto e = fromJson(v);
        if (e && e->state == RolloutState::Done) {
            done.push_back(*e);
        }
    }
    return done;
}

std::optional<std::string>
RolloutReport::refusal(const std::string& path,
                       const std::vector<std::pair<std::string, std::string>>& inputs) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return std::string("is a folder");
    }
    if (fs::exists(path, ec)) {
        for (const auto& [input, what] : inputs) {
            if (fs::equivalent(path, input, ec)) {
                return "is " + what + "; the report would replace it";
            }
        }
        const auto read = readReport(path);
        if (fs::file_size(path, ec) > 0 && !ec && std::holds_alternative<std::string>(read)) {
            return "exists and is " + std::get<std::string>(read) + "; it would be replaced";
        }
    }
    // The report is replaced by renaming a new file in its folder: that must work there.
    const fs::path folder = folderOf(path);
    if (!fs::is_directory(folder, ec)) {
        return "cannot be written: there is no folder " + folder.string();
    }
    if (const auto reason = host::canCreateIn(folder)) {
        return "cannot be written in " + folder.string() + ": " + *reason;
    }
    return std::nullopt;
}

std::string RolloutReport::summary(const std::vector<RolloutEntry>& entries) {
    constexpr std::size_t kColumns = 9;
    std::vector<std::array<std::string, kColumns>> lines{
        {"DEVICE", "MAC", "ADAPTER", "STATE", "BYTES", "SECONDS", "RETX", "T/O", "DETAIL"}};
    std::size_t done = 0;
    for (const RolloutEntry& e : entries) {
        done += e.state == RolloutState::Done ? 1 : 0;
        lines.push_back({e.target, e.mac ? formatMac(*e.mac) : "-", e.adapter.empty() ? "-" : e.adapter,
                         std::string(rolloutStateName(e.state)) + (e.earlier ? " (earlier)" : ""),
                         std::to_string(e.bytes), seconds(e.uploadSeconds + e.backSeconds),
                         std::to_string(e.retransmissions), std::to_string(e.timeouts),
                         printableText(e.detail)});
    }
    std::array<std::size_t, kColumns> width{};
    for (const auto& l : lines) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            width[i] = std::max(width[i], l[i].size());
        }
    }
    std::string out;
    for (const auto& l : lines) {
        std::string line;
        for (std::size_t i = 0; i < kColumns; ++i) {
            line += l[i];
            if (i + 1 < kColumns) {
                line += std::string(width[i] + 2 - l[i].size(), ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out + std::to_string(done) + " of " + std::to_string(entries.size()) + " devices done\n";
}

} // namespace fw::cli
