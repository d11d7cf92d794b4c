// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/VendorTable.h"

#include <algorithm>
#include <charconv>

namespace fw {
namespace {

// Reads one CSV record (RFC 4180: quoted fields may hold commas, doubled quotes and line breaks)
// from `text` at `at`, keeping its first `fields.size()` fields; `at` ends after the record.
std::size_t readRecord(std::string_view text, std::size_t& at, std::span<std::string> fields) {
    std::size_t field = 0;
    for (std::string& f : fields) {
        f.clear();
    }
    const auto keep = [&](char c) {
        if (field < fields.size()) {
            fields[field] += c;
        }
    };
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted && c == '"' && at < text.size() && text[at] == '"') {
            keep('"');
            ++at;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            ++field;
        } else if (!quoted && c == '\n') {
            break;
        } else if (quoted || c != '\r') {
            keep(c);
        }
    }
    return field + 1;
}

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// How many bits a registry assigns, 0 for one this table does not read.
unsigned bitsOf(std::string_view registry) {
    if (registry == "MA-L") {
        return 24;
    }
    if (registry == "MA-M") {
        return 28;
    }
    return registry == "MA-S" || registry == "IAB" ? 36 : 0;
}

std::uint64_t macBits(const MacAddress& mac) {
    std::uint64_t bits = 0;
    for (const std::uint8_t b : mac) {
        bits = bits << 8 | b;
    }
    return bits;
}

} // namespace

VendorTable VendorTable::fromRegistries(std::span<const std::string_view> files, std::string date) {
    VendorTable table;
    table.date_ = std::move(date);
    std::array<std::string, 3> fields;
    for (const std::string_view text : files) {
        std::size_t at = 0;
        while (at < text.size()) {
            if (readRecord(text, at, fields) >= fields.size()) {
                table.add(trimmed(fields[0]), trimmed(fields[1]), trimmed(fields[2]));
            }
        }
    }
    for (auto& assignments : table.byLength_) {
        // Stable: of a prefix assigned twice, the first line is found first.
        std::stable_sort(assignments.begin(), assignments.end(),
                         [](const Assignment& a, const Assignment& b) { return a.prefix < b.prefix; });
    }
    return table;
}

void VendorTable::add(std::string_view registry, std::string_view assignment, std::string_view name) {
    const unsigned bits = bitsOf(registry);
    std::uint64_t prefix = 0;
    const auto [end, error] =
        std::from_chars(assignment.data(), assignment.data() + assignment.size(), prefix, 16);
    if (bits == 0 || name.empty() || assignment.size() * 4 != bits || error != std::errc() ||
        end != assignment.data() + assignment.size()) {
        return;
    }
    const auto slot = static_cast<std::size_t>(std::find(kBits.begin(), kBits.end(), bits) - kBits.begin());
    byLength_.at(slot).push_back(
        {prefix, static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size())});
    names_ += name;
}

std::string_view VendorTable::vendorOf(const MacAddress& mac) const {
    if ((mac[0] & 0x02) != 0) {
        return kLocallyAdministered;
    }
    const std::uint64_t bits = macBits(mac);
    for (std::size_t i = 0; i < kBits.size(); ++i) {
        const std::uint64_t prefix = bits >> (48 - kBits.at(i));
        const auto& assignments = byLength_.at(i);
        const auto it = std::lower_bound(assignments.begin(), assignments.end(), prefix,
                                         [](const Assignment& a, std::uint64_t p) { return a.prefix < p; });
        if (it != assignments.end() && it->prefix == prefix) {
            return std::string_view(names_).substr(it->offset, it->length);
        }
    }
    return {};
}

std::size_t VendorTable::size() const {
    std::size_t n = 0;
    for (const auto& assignments : byLength_) {
        n += assignments.size();
    }
    return n;
}

} // namespace fw
