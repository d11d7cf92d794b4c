// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Shell.h"

namespace fw::cli {

// The shell of a program without a desktop: the neighbour flush only. Without the privilege the
// flush fails silently, as it does for the window.
class CliShell final : public Shell {
public:
    void flushNeighbour(Ipv4 ip) override;
    void openUrl(const std::string&) override {}
};

} // namespace fw::cli
