// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "common/Result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fw {

// A device named by its address or its MAC.
using DeviceTarget = std::variant<Ipv4, MacAddress>;

enum class DeviceListError {
    BadLine,  // line: its number; text: the line without its comment and blanks
    NoDevice, // nothing but comments and blank lines
};

struct DeviceListProblem {
    DeviceListError error = DeviceListError::NoDevice;
    std::size_t line = 0;
    std::string text;
    bool operator==(const DeviceListProblem&) const = default;
};

// A device list file: one IPv4 address or MAC per line; blank lines and text after '#' are
// ignored. The problem is the first bad line; a list of no device is one too, as a rollout of
// nothing is a mistake, not a search.
Result<std::vector<DeviceTarget>, DeviceListProblem> parseDeviceList(std::string_view text);

// The targets in their first order, each once: a device named twice is one device.
std::vector<DeviceTarget> uniqueTargets(const std::vector<DeviceTarget>& targets);

} // namespace fw
