// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace fw {

// What arrived on one adapter before the host's filters could drop it (a packet socket on Linux).
class WireTap {
public:
    virtual ~WireTap() = default;
    // The IPv4 packets (from the IP header on) captured so far.
    virtual std::vector<std::vector<std::uint8_t>> drain() = 0;
};

} // namespace fw
