// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/core/DeviceList.h"

#include <algorithm>

namespace fw {
namespace {

std::string_view trimmed(std::string_view s) {
    constexpr std::string_view kSpace = " \t\r";
    const auto first = s.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

} // namespace

std::variant<std::vector<DeviceTarget>, std::string> parseDeviceList(std::string_view text) {
    std::vector<DeviceTarget> out;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        if (const auto ip = Ipv4::parse(line)) {
            out.emplace_back(*ip);
        } else if (const auto mac = parseMac(line)) {
            out.emplace_back(*mac);
        } else {
            return "line " + std::to_string(number) + ": '" + std::string(line) +
                   "' is neither an IPv4 address nor a MAC address";
        }
    }
    if (out.empty()) {
        return std::string("it lists no device (one IPv4 address or MAC a line)");
    }
    return out;
}

std::vector<DeviceTarget> uniqueTargets(const std::vector<DeviceTarget>& targets) {
    std::vector<DeviceTarget> out;
    for (const DeviceTarget& t : targets) {
        if (std::find(out.begin(), out.end(), t) == out.end()) {
            out.push_back(t);
        }
    }
    return out;
}

} // namespace fw
