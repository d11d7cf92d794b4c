#include "cli/CliShell.h"

#include "platform/NeighbourTable.h"

namespace fw::cli {

void CliShell::flushNeighbour(Ipv4 ip) {
    NeighbourTable().remove(ip);
}

} // namespace fw::cli
