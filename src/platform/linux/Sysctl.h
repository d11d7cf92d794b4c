// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"
#include "netif/HostFacts.h"

#include <string>

namespace fw {

// Kernel settings of the calling process's network namespace, read from /proc/sys/net.
class Sysctl {
public:
    // net.ipv4.conf.all.rp_filter and net.ipv4.conf.IF.rp_filter.
    static Result<ReversePathFilter, SettingError> reversePathFilter(const std::string& interfaceName);
    // arp_ignore >= 1 and arp_announce >= 2, each the larger of "all" and the interface's own;
    // false when any of them cannot be read.
    static bool arpFluxGuarded(const std::string& interfaceName);
};

} // namespace fw
