// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/HostFacts.h"

namespace fw {

// The nftables base chains on the IPv4 input hook whose policy is drop, read from the kernel
// (NETLINK_NETFILTER, NFT_MSG_GETCHAIN), and whether legacy iptables has a filter table. Reading
// either needs root.
class NftablesChains {
public:
    static FirewallFacts inputDropChains();
};

} // namespace fw
