#include "cli/CliShell.h"

#include "common/Ipv4.h"
#include "platform/NeighbourTable.h"

namespace fw::cli {

void CliShell::flushNeighbour(const std::string& ip) {
    if (const auto address = Ipv4::parse(ip)) {
        NeighbourTable().remove(*address);
    }
}

} // namespace fw::cli
