// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Shell.h"

namespace fw {

// The shell of a Linux desktop: the kernel's neighbour table and the user's default browser.
class DesktopShell final : public Shell {
public:
    // Not a valid address, or no privilege to remove the entry: nothing happens.
    void flushNeighbour(Ipv4 ip) override;
    void openUrl(const std::string& url) override;
};

} // namespace fw
