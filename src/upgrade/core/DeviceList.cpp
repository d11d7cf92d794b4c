// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/core/DeviceList.h"

#include "common/TextLines.h"

#include <algorithm>

namespace fw {

std::variant<std::vector<DeviceTarget>, std::string> parseDeviceList(std::string_view text) {
    std::vector<DeviceTarget> out;
    std::string problem;
    forEachLine(text, [&](std::size_t number, std::string_view line) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty() || !problem.empty()) {
            return;
        }
        if (const auto ip = Ipv4::parse(line)) {
            out.emplace_back(*ip);
        } else if (const auto mac = parseMac(line)) {
            out.emplace_back(*mac);
        } else {
            problem = "line " + std::to_string(number) + ": '" + std::string(line) +
                      "' is neither an IPv4 address nor a MAC address";
        }
    });
    if (!problem.empty()) {
        return problem;
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
