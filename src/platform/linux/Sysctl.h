// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "doctor/core/DoctorFacts.h"

#include <optional>
#include <string>

namespace fw {

// Kernel settings of the calling process's network namespace, read from /proc/sys/net.
class Sysctl {
public:
    // net.ipv4.conf.all.rp_filter and net.ipv4.conf.IF.rp_filter; none when either is unreadable.
    static std::optional<doctor::ReversePathFilter> reversePathFilter(const std::string& interfaceName);
    // arp_ignore >= 1 and arp_announce >= 2, each the larger of "all" and the interface's own.
    static bool arpFluxGuarded(const std::string& interfaceName);
};

} // namespace fw
