// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/AdapterFacts.h"
#include "netif/HostFacts.h"

#include <cstdint>

namespace fw {

// Whether a search could listen on an adapter: binds the adapter's address and port without
// SO_REUSEADDR, as the search does, and when it is taken names the holders from GetExtendedUdpTable
// (the owning process id) and the processes' image names.
class UdpPortCheck {
public:
    static PortCheck check(const AdapterFacts& adapter, std::uint16_t port);
};

} // namespace fw
