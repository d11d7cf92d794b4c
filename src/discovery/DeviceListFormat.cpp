// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DeviceListFormat.h"

#include "common/DeviceText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace fw {
namespace {

void appendEscape(std::string& out, unsigned code) {
    std::array<char, 5> hex{};
    std::snprintf(hex.data(), hex.size(), "\\x%02X", code);
    out += hex.data();
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

// UTF-8 with C0, DEL and C1 controls as \xNN; a backslash is doubled so the escape cannot be forged.
std::string printableUtf8(std::string_view utf8) {
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

std::string printableText(const std::string& text) {
    return printableUtf8(deviceTextToUtf8(text));
}

std::string kindName(const DeviceRow& row) {
    // "adapter" is the documented JSON value for every device that is not an access point.
    return row.kind == DeviceKind::AccessPoint ? "ap" : "adapter";
}

std::string deviceAdapterName(const AdapterTable& adapters, Ipv4 ip) {
    const auto it =
        std::find_if(adapters.begin(), adapters.end(), [&](const AdapterEntry& e) { return e.ip == ip; });
    return it == adapters.end() || it->interfaceName.empty() ? ip.toString() : it->interfaceName;
}

std::array<std::string, kDeviceColumns.size()> deviceCells(const DeviceRow& r, const AdapterTable& adapters,
                                                           const VendorTable& vendors) {
    return {printableText(r.name),
            r.ip.toString(),
            printableText(r.essId),
            std::to_string(r.channel),
            r.wep ? "Enabled" : "Disabled",
            formatMac(r.mac),
            kindName(r),
            printableUtf8(deviceAdapterName(adapters, r.adapterIp)),
            printableUtf8(vendors.vendorOf(r.mac))};
}

std::string deviceListCsv(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          const VendorTable& vendors) {
    constexpr std::size_t kVendor = kDeviceColumns.size() - 1;
    std::string out;
    for (std::size_t i = 0; i < kVendor; ++i) {
        out += std::string(i ? "," : "") + kDeviceColumns.at(i);
    }
    out += std::string(",adapter_ip,") + kDeviceColumns.at(kVendor) + '\n';
    for (const DeviceRow& r : rows) {
        const auto c = deviceCells(r, adapters, vendors);
        for (std::size_t i = 0; i < kVendor; ++i) {
            out += (i ? "," : "") + csvField(c.at(i));
        }
        out += "," + r.adapterIp.toString() + "," + csvField(c.at(kVendor)) + '\n';
    }
    return out;
}

std::string deviceListJson(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                           const VendorTable& vendors) {
    nlohmann::json array = nlohmann::json::array();
    for (const DeviceRow& r : rows) {
        array.push_back(deviceObject(r, adapters, vendors));
    }
    return indentedJson(array);
}

nlohmann::json deviceObject(const DeviceRow& r, const AdapterTable& adapters, const VendorTable& vendors) {
    const std::string_view vendor = vendors.vendorOf(r.mac);
    return {{"name", deviceTextToUtf8(r.name)},
            {"ip", r.ip.toString()},
            {"essid", deviceTextToUtf8(r.essId)},
            {"channel", r.channel},
            {"wep", r.wep},
            {"mac", formatMac(r.mac)},
            {"kind", kindName(r)},
            {"adapter", deviceAdapterName(adapters, r.adapterIp)},
            {"adapter_ip", r.adapterIp.toString()},
            {"vendor", vendor.empty() ? nlohmann::json() : nlohmann::json(std::string(vendor))}};
}

std::string indentedJson(const nlohmann::json& value) {
    std::string out;
    indented(value, 0, out);
    return out + '\n';
}

} // namespace fw
