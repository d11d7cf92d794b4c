// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"

#include <cstdint>
#include <string>

namespace fw {

// One listed device, as its reply said it: the list model and the CLI's reports format the cells.
struct DeviceRow {
    std::string name; // 8-bit text from the device
    Ipv4 ip;          // the reply's source address
    std::string essId;
    std::uint8_t channel = 0;
    bool wep = false;
    MacAddress mac{};
    DeviceKind kind = DeviceKind::Bridge;
    // Not shown: the local address of the adapter the reply came in on, so that picking the row
    // points Set IP and the upgrade at the right adapter.
    Ipv4 adapterIp;

    bool operator==(const DeviceRow&) const = default;
};

} // namespace fw
