// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DeviceReport.h"

#include "common/DeviceText.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace fw::cli {
namespace {

std::string table(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                  const VendorTable& vendors) {
    std::vector<std::vector<std::string>> lines(1);
    for (const char* column : kDeviceColumns) {
        std::string& header = lines[0].emplace_back();
        for (const char* c = column; *c != '\0'; ++c) {
            header += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
    }
    for (const DeviceRow& r : rows) {
        const auto c = deviceCells(r, adapters, vendors);
        lines.emplace_back(c.begin(), c.end());
    }
    return alignedLines(lines);
}

} // namespace

std::string alignedLines(const std::vector<std::vector<std::string>>& lines) {
    std::vector<std::size_t> width;
    for (const auto& l : lines) {
        width.resize(std::max(width.size(), l.size()));
        for (std::size_t i = 0; i < l.size(); ++i) {
            width[i] = std::max(width[i], displayWidth(l[i]));
        }
    }
    std::string out;
    for (const auto& l : lines) {
        std::string line;
        for (std::size_t i = 0; i < l.size(); ++i) {
            line += l[i];
            if (i + 1 < l.size()) {
                line.append(width[i] + 2 - displayWidth(l[i]), ' ');
            }
        }
        while (line.ends_with(' ')) {
            line.pop_back();
        }
        out += line + '\n';
    }
    return out;
}

// Characters, not bytes, so that columns line up under é.
std::size_t displayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string formatDevices(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          OutputFormat format, const VendorTable& vendors) {
    switch (format) {
    case OutputFormat::Json:
        return deviceListJson(rows, adapters, vendors);
    case OutputFormat::Csv:
        return deviceListCsv(rows, adapters, vendors);
    case OutputFormat::Table:
        break;
    }
    return table(rows, adapters, vendors);
}

std::string describe(const DeviceTarget& target) {
    if (const auto* ip = std::get_if<Ipv4>(&target)) {
        return ip->toString();
    }
    return formatMac(std::get<MacAddress>(target));
}

std::string deviceListProblemText(const DeviceListProblem& problem) {
    switch (problem.error) {
    case DeviceListError::BadLine:
        return "line " + std::to_string(problem.line) + ": '" + problem.text +
               "' is neither an IPv4 address nor a MAC address";
    case DeviceListError::NoDevice:
        return "it lists no device (one IPv4 address or MAC a line)";
    }
    return {};
}

bool matches(const DeviceTarget& target, const DeviceRow& row) {
    if (const auto* ip = std::get_if<Ipv4>(&target)) {
        return row.ip == *ip;
    }
    return row.mac == std::get<MacAddress>(target);
}

} // namespace fw::cli
