// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DeviceReport.h"

#include "cli/AdapterChoice.h"
#include "common/DeviceText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace fw::cli {
namespace {

constexpr std::array<const char*, 8> kColumns{"name", "ip",  "essid", "channel",
                                              "wep",  "mac", "kind",  "adapter"};

void appendEscape(std::string& out, unsigned code) {
    std::array<char, 5> hex{};
    std::snprintf(hex.data(), hex.size(), "\\x%02X", code);
    out += hex.data();
}

// UTF-8 with C0, DEL and C1 controls as \xNN; a backslash is doubled so the escape cannot be forged.
std::string printable(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0U;
        if (b < 0x20 || b == 0x7F) {
            appendEscape(out, b);
        } else if (b == 0xC2 && next >= 0x80 && next < 0xA0) { // U+0080..U+009F
            appendEscape(out, next);
            ++i;
        } else if (b == '\\') {
            out += "\\\\";
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::array<std::string, 8> cells(const DeviceRow& r, const AdapterTable& adapters) {
    return {printableText(r.name),
            r.ip.toString(),
            printableText(r.essId),
            std::to_string(r.channel),
            r.wep ? "Enabled" : "Disabled",
            formatMac(r.mac),
            kindName(r),
            printable(adapterName(adapters, r.adapterIp))};
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"") == std::string::npos && !s.starts_with(' ') && !s.ends_with(' ')) {
        return s;
    }
    std::string out = "\"";
    for (const char c : s) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + '"';
}

std::string table(const std::vector<DeviceRow>& rows, const AdapterTable& adapters) {
    std::vector<std::vector<std::string>> lines(1);
    for (const char* column : kColumns) {
        std::string& header = lines[0].emplace_back();
        for (const char* c = column; *c != '\0'; ++c) {
            header += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
    }
    for (const DeviceRow& r : rows) {
        const auto c = cells(r, adapters);
        lines.emplace_back(c.begin(), c.end());
    }
    return alignedLines(lines);
}

std::string csv(const std::vector<DeviceRow>& rows, const AdapterTable& adapters) {
    std::string out;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        out += std::string(i ? "," : "") + kColumns[i];
    }
    out += ",adapter_ip\n";
    for (const DeviceRow& r : rows) {
        const auto c = cells(r, adapters);
        for (std::size_t i = 0; i < c.size(); ++i) {
            out += (i ? "," : "") + csvField(c[i]);
        }
        out += "," + r.adapterIp.toString() + '\n';
    }
    return out;
}

// The shortest text that reads back as the same double, a whole one without a fraction.
std::string number(double d) {
    if (!std::isfinite(d)) {
        return "null";
    }
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d).ptr;
    return {buffer.data(), end};
}

void indented(const nlohmann::json& v, std::size_t depth, std::string& out) {
    if (!v.is_object() && !v.is_array()) {
        out += v.is_number_float() ? number(v.get<double>())
                                   : v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return;
    }
    out += v.is_object() ? "{\n" : "[\n";
    const std::string inner((depth + 1) * 4, ' ');
    for (auto it = v.begin(); it != v.end(); ++it) {
        out += inner;
        if (v.is_object()) {
            out += nlohmann::json(it.key()).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                   ": ";
        }
        indented(*it, depth + 1, out);
        out += std::next(it) == v.end() ? "\n" : ",\n";
    }
    out.append(depth * 4, ' ');
    out += v.is_object() ? '}' : ']';
}

} // namespace

std::string indentedJson(const nlohmann::json& value) {
    std::string out;
    indented(value, 0, out);
    return out + '\n';
}

nlohmann::json deviceObject(const DeviceRow& r, const AdapterTable& adapters) {
    return {{"name", deviceTextToUtf8(r.name)},
            {"ip", r.ip.toString()},
            {"essid", deviceTextToUtf8(r.essId)},
            {"channel", r.channel},
            {"wep", r.wep},
            {"mac", formatMac(r.mac)},
            {"kind", kindName(r)},
            {"adapter", adapterName(adapters, r.adapterIp)},
            {"adapter_ip", r.adapterIp.toString()}};
}

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

std::string printableText(const std::string& text) {
    return printable(deviceTextToUtf8(text));
}

std::string kindName(const DeviceRow& row) {
    // "adapter" is the documented JSON value for every device that is not an access point.
    return row.kind == DeviceKind::AccessPoint ? "ap" : "adapter";
}

std::string formatDevices(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          OutputFormat format) {
    switch (format) {
    case OutputFormat::Json: {
        nlohmann::json array = nlohmann::json::array();
        for (const DeviceRow& r : rows) {
            array.push_back(deviceObject(r, adapters));
        }
        return indentedJson(array);
    }
    case OutputFormat::Csv:
        return csv(rows, adapters);
    case OutputFormat::Table:
        break;
    }
    return table(rows, adapters);
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
