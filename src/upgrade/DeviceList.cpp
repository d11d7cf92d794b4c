// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/DeviceList.h"

#include "common/TextLines.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace fw {

Result<std::vector<DeviceTarget>, DeviceListProblem> parseDeviceList(std::string_view text) {
    std::vector<DeviceTarget> out;
    std::optional<DeviceListProblem> problem;
    forEachLine(text, [&](std::size_t number, std::string_view line) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty() || problem) {
            return;
        }
        if (const auto ip = Ipv4::parse(line)) {
            out.emplace_back(*ip);
        } else if (const auto mac = parseMac(line)) {
            out.emplace_back(*mac);
        } else {
            problem = DeviceListProblem{DeviceListError::BadLine, number, std::string(line)};
        }
    });
    if (problem) {
        return Failure{std::move(*problem)};
    }
    if (out.empty()) {
        return Failure{DeviceListProblem{}};
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
