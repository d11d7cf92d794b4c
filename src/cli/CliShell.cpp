// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliShell.h"

#include "platform/linux/NeighbourTable.h"

namespace fw::cli {

void CliShell::flushNeighbour(Ipv4 ip) {
    NeighbourTable().remove(ip);
}

} // namespace fw::cli
