// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

namespace fw {

// The kernel's IPv4 neighbour (ARP) cache of the calling thread's network namespace.
class NeighbourTable {
public:
    // Removes the entry for ip on every interface that has one, so that the next packet to it asks
    // again. True when no entry is left (also when there was none); false when the table could not
    // be read or the kernel refused a removal (without CAP_NET_ADMIN).
    bool remove(Ipv4 ip);
};

} // namespace fw
