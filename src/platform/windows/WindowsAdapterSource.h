// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/AdapterFacts.h"

namespace fw {

// The adapters as GetAdaptersAddresses reports them, in its order: the friendly name ("Ethernet 2")
// is the interface name, the first IPv4 unicast address with its prefix, the first IPv4 gateway.
// Loopback, tunnels and PPP links come flagged so that the rules skip them as on Linux.
class WindowsAdapterSource {
public:
    AdapterListing readListing() const;
};

} // namespace fw
