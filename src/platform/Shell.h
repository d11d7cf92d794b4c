// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

#include <string>

namespace fw {

// The operating system's side effects that the row commands need.
class Shell {
public:
    virtual ~Shell() = default;
    // Removes the kernel's neighbour (ARP) entry for the address; fails silently without privilege.
    virtual void flushNeighbour(Ipv4 ip) = 0;
    // Opens the URL in the user's default browser; not awaited, result not examined.
    virtual void openUrl(const std::string& url) = 0;
};

} // namespace fw
