// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"

#include <string>

namespace fw {

// The row a row dialog was opened for, as the dialog names it to the operator: after a re-sort or a
// new search the list no longer tells which device the dialog acts on.
struct PickedDevice {
    std::string name; // 8-bit text from the device
    Ipv4 ip;
    MacAddress mac{};

    // "Lobby AP · 10.77.1.10 · 00-11-22-33-44-55", in UTF-8; without a name, address and MAC only.
    std::string line() const;

    bool operator==(const PickedDevice&) const = default;
};

} // namespace fw
