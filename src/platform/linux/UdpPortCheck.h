// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/HostFacts.h"

#include <cstdint>
#include <string>

namespace fw {

// Whether a search could listen on an adapter: binds 0.0.0.0:port tied to the interface without
// SO_REUSEADDR, as the discovery endpoints do, and on EADDRINUSE names the holders from the
// kernel's socket table (sock_diag) and the owners of those sockets (/proc/PID/fd).
class UdpPortCheck {
public:
    static PortCheck check(const std::string& interfaceName, int interfaceIndex, std::uint16_t port);
};

} // namespace fw
