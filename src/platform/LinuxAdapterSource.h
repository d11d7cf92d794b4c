#pragma once

#include "netif/core/AdapterFacts.h"
#include "platform/AdapterSource.h"

namespace fw {

// The adapters of the calling thread's network namespace, read from the kernel by rtnetlink
// (links, IPv4 addresses, routes of the main table), in interface index order.
class LinuxAdapterSource final : public AdapterSource {
public:
    AdapterSelection enumerateAdapters() override;

    // Every interface with its facts, before any rule; unreadable when the kernel could not be asked
    // for its links or addresses. Interfaces with no default route have an empty gateway.
    static AdapterListing readListing();
};

} // namespace fw
