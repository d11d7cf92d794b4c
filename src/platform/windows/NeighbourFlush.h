// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

#include <functional>
#include <vector>

namespace fw {

// Forgets the neighbour (ARP) entry of an IPv4 address on every adapter, by DeleteIpNetEntry2.
// The function is looked up at run time: where the system lacks it (wine 8), nothing is flushed.
class NeighbourFlush {
public:
    // Deletes one entry: the adapter's index and the address; a Win32 error code (0: done).
    using DeleteEntry = std::function<unsigned long(unsigned long interfaceIndex, Ipv4 ip)>;

    // The system's DeleteIpNetEntry2; an empty function when the system has none.
    static DeleteEntry systemDelete();

    // Asks deleteEntry on each adapter that has an IPv4 address. False when it could not be asked
    // (no such function) or refused every one (ERROR_ACCESS_DENIED without the right): quietly.
    static bool flush(Ipv4 ip, const std::vector<unsigned long>& interfaceIndexes,
                      const DeleteEntry& deleteEntry);
};

} // namespace fw
