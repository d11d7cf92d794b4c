// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

namespace fw {

// Asks the kernel's routing table of the calling process's namespace, as `ip route get` does.
class RouteLookup {
public:
    // True when a packet to destination could be routed; false when the kernel names no route (or
    // cannot be asked). Loose reverse-path filtering (rp_filter=2) drops datagrams whose source
    // fails this test.
    static bool hasRoute(Ipv4 destination);
};

} // namespace fw
