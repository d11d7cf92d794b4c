// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpPlan.h"

#include "common/TextLines.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

namespace fw {
namespace {

enum Column : std::size_t { Mac, Ip, Mask, Gateway, Label, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames{"mac", "ip", "mask", "gateway", "label"};
constexpr std::size_t kRequiredColumns = Label;
constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// One line's fields, blanks around each dropped; none when a quote is left open or followed by
// anything but blanks and the next comma.
std::optional<std::vector<std::string>> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start != std::string_view::npos && line[start] == '"') {
            std::string field;
            std::size_t i = start + 1;
            for (; i < line.size(); ++i) {
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else if (line[i] == '"') {
                    break;
                } else {
                    field += line[i];
                }
            }
            const std::size_t after =
                i + 1 > line.size() ? line.size() : line.find_first_not_of(" \t", i + 1);
            if (i == line.size() || (after != std::string_view::npos && line[after] != ',')) {
                return std::nullopt;
            }
            fields.push_back(std::move(field));
            if (after == std::string_view::npos) {
                return fields;
            }
            at = after + 1;
            continue;
        }
        const std::size_t comma = line.find(',', at);
        fields.emplace_back(trimmed(line.substr(at, comma == std::string_view::npos ? comma : comma - at)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        at = comma + 1;
    }
}

// Where each known column is in the header, or the header's problems.
Result<std::array<std::size_t, kColumns>, std::vector<PlanProblem>>
readHeader(const std::vector<std::string>& names, std::size_t line) {
    std::array<std::size_t, kColumns> index{};
    index.fill(kAbsent);
    std::vector<PlanProblem> problems;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = lowered(names[i]);
        const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), name);
        if (known == kColumnNames.end()) {
            problems.push_back({PlanError::UnknownColumn, line, names[i]});
            continue;
        }
        std::size_t& slot = index[static_cast<std::size_t>(known - kColumnNames.begin())];
        if (slot != kAbsent) {
            problems.push_back({PlanError::RepeatedColumn, line, names[i]});
        }
        slot = i;
    }
    for (std::size_t c = 0; c < kRequiredColumns; ++c) {
        if (index[c] == kAbsent) {
            problems.push_back({PlanError::MissingColumn, line, std::string(kColumnNames[c])});
        }
    }
    if (!problems.empty()) {
        return Failure{std::move(problems)};
    }
    return index;
}

// A row from its fields; the problems of its fields go to `problems`.
std::optional<PlanRow> readRow(const std::vector<std::string>& f, const std::array<std::size_t, kColumns>& at,
                               std::size_t line, std::vector<PlanProblem>& problems) {
    const std::size_t before = problems.size();
    const auto field = [&](Column c) -> const std::string& {
        return f[at[c]];
    };
    PlanRow row{line, {}, std::nullopt, at[Label] == kAbsent ? std::string() : field(Label)};
    if (const auto mac = parseMac(field(Mac))) {
        row.mac = *mac;
    } else {
        problems.push_back({PlanError::BadMac, line, field(Mac)});
    }
    if (lowered(field(Ip)) == "dhcp") {
        for (const Column c : {Mask, Gateway}) {
            if (!field(c).empty()) {
                problems.push_back({PlanError::DhcpWithAddress, line, field(c)});
            }
        }
    } else {
        const auto ip = Ipv4::parse(field(Ip));
        const auto mask = Ipv4::parse(field(Mask));
        const auto gateway =
            field(Gateway).empty() ? std::optional(Ipv4::any()) : Ipv4::parse(field(Gateway));
        if (!ip || !isAcceptableDeviceAddress(*ip)) {
            problems.push_back({PlanError::BadAddress, line, field(Ip)});
        }
        if (!mask) {
            problems.push_back({PlanError::BadMask, line, field(Mask)});
        }
        if (!gateway) {
            problems.push_back({PlanError::BadGateway, line, field(Gateway)});
        }
        if (ip && mask && gateway) {
            row.address = FixedAddress{*ip, *mask, *gateway};
        }
    }
    return problems.size() == before ? std::optional(std::move(row)) : std::nullopt;
}

} // namespace

Result<std::vector<PlanRow>, std::vector<PlanProblem>> parseSetIpPlan(std::string_view content) {
    std::optional<std::array<std::size_t, kColumns>> columns;
    std::size_t columnCount = 0;
    std::vector<PlanRow> rows;
    std::vector<PlanProblem> problems;
    std::map<MacAddress, std::size_t> macLine;
    std::map<std::uint32_t, std::size_t> addressLine; // host order
    bool stopped = false;                             // the header is bad: no row can be read
    std::size_t lines = 0;
    forEachLine(content, [&](std::size_t line, std::string_view text) {
        lines = line;
        text = trimmed(text);
        if (stopped || text.empty() || text.front() == '#') {
            return;
        }
        const auto fields = splitFields(text);
        if (!fields) {
            problems.push_back({PlanError::BadQuotes, line, std::string(text)});
            stopped = !columns;
            return;
        }
        if (!columns) {
            auto header = readHeader(*fields, line);
            stopped = !header;
            if (stopped) {
                problems = header.error();
                return;
            }
            columns = *header;
            columnCount = fields->size();
            return;
        }
        if (fields->size() != columnCount) {
            problems.push_back({PlanError::FieldCount, line, std::string(text)});
            return;
        }
        auto row = readRow(*fields, *columns, line, problems);
        if (!row) {
            return;
        }
        if (const auto [it, added] = macLine.emplace(row->mac, line); !added) {
            problems.push_back({PlanError::RepeatedMac, line, formatMac(row->mac), it->second});
            return;
        }
        if (row->address) {
            const Ipv4 ip = row->address->address;
            if (const auto [it, added] = addressLine.emplace(ip.toHostOrder(), line); !added) {
                problems.push_back({PlanError::RepeatedAddress, line, ip.toString(), it->second});
                return;
            }
        }
        rows.push_back(std::move(*row));
    });
    if (!columns && !stopped) {
        problems.push_back({PlanError::NoHeader, lines, {}});
    }
    if (!problems.empty()) {
        return Failure{std::move(problems)};
    }
    return rows;
}

namespace {

// A device other than mac answering from ip.
const DeviceRow* otherOn(std::span<const DeviceRow> seen, Ipv4 ip, const MacAddress& mac) {
    const auto it = std::find_if(seen.begin(), seen.end(),
                                 [&](const DeviceRow& d) { return d.ip == ip && d.mac != mac; });
    return it == seen.end() ? nullptr : &*it;
}

} // namespace

PlanAction planAction(const PlanRow& row, std::span<const DeviceRow> seen) {
    const PlanCheck check = checkRow(row, seen);
    if (check.sighting == PlanSighting::Silent) {
        return PlanAction::NotFound;
    }
    // A shared address is sent again, so that it is verified with the others.
    return row.address && check.sighting == PlanSighting::Back ? PlanAction::Unchanged : PlanAction::Send;
}

PlanCheck checkRow(const PlanRow& row, std::span<const DeviceRow> seen) {
    PlanCheck check;
    for (const DeviceRow& d : seen) {
        if (d.mac != row.mac) {
            continue;
        }
        if (row.address && d.ip != row.address->address) {
            if (check.sighting == PlanSighting::Silent) {
                check = {PlanSighting::Elsewhere, &d, nullptr};
            }
            continue;
        }
        // From the planned address; for DHCP from any, where the first other device decides.
        const DeviceRow* other = otherOn(seen, d.ip, row.mac);
        check = {other == nullptr ? PlanSighting::Back : PlanSighting::Shared, &d, other};
        if (other == nullptr) {
            return check;
        }
    }
    return check;
}

const DeviceRow* takenBy(const PlanRow& row, std::span<const DeviceRow> seen, std::span<const PlanRow> plan) {
    if (!row.address) {
        return nullptr;
    }
    const auto it = std::find_if(seen.begin(), seen.end(), [&](const DeviceRow& d) {
        return d.ip == row.address->address && d.mac != row.mac &&
               std::none_of(plan.begin(), plan.end(), [&](const PlanRow& p) { return p.mac == d.mac; });
    });
    return it == seen.end() ? nullptr : &*it;
}

} // namespace fw
