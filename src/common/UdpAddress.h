// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

#include <cstdint>

namespace fw {

// One end of a UDP exchange: where a datagram came from or goes to.
struct UdpAddress {
    Ipv4 ip;
    std::uint16_t port = 0;
    bool operator==(const UdpAddress&) const = default;
};

} // namespace fw
