// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fw {

// A device named by its address or its MAC.
using DeviceTarget = std::variant<Ipv4, MacAddress>;

// A device list file: one IPv4 address or MAC per line; blank lines and text after '#' are
// ignored. The error names the first bad line ("line 3: 'x' is neither ..."); a list of no device
// is an error too, as a rollout of nothing is a mistake, not a search.
std::variant<std::vector<DeviceTarget>, std::string> parseDeviceList(std::string_view text);

// The targets in their first order, each once: a device named twice is one device.
std::vector<DeviceTarget> uniqueTargets(const std::vector<DeviceTarget>& targets);

} // namespace fw
