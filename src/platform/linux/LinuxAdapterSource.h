// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/AdapterFacts.h"

#include <chrono>
#include <functional>

namespace fw {

// One reading of the kernel's tables; interrupted when a change cut it short and reading again is
// expected to give the whole picture.
struct ListingAttempt {
    AdapterListing listing;
    bool interrupted = false;
};

// The adapters of the calling thread's network namespace, read from the kernel by rtnetlink
// (links, IPv4 addresses, routes of the main table), in interface index order.
class LinuxAdapterSource {
public:
    using ReadAttempt = std::function<ListingAttempt()>;
    static constexpr int kAttempts = 5;
    static constexpr std::chrono::milliseconds kRetryPause{20};

    // readAttempt: one reading of the tables; empty for the kernel's (tests inject interruptions).
    explicit LinuxAdapterSource(ReadAttempt readAttempt = {});

    // Every interface with its facts, before any rule; unreadable when the kernel could not be asked
    // for its links or addresses. An interrupted reading is repeated up to kAttempts times in all;
    // interfaces with no default route have an empty gateway.
    AdapterListing readListing() const;

private:
    ReadAttempt readAttempt_;
};

} // namespace fw
