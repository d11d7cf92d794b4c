// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/SocketError.h"
#include "discovery/DeviceRow.h"
#include "discovery/DiscoverySearch.h"
#include "discovery/SweepPacer.h"
#include "discovery/TargetSet.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace fw {

// One search, as a command and the main window ask for it: a request from port 4001 of each
// adapter to 255.255.255.255:4000, every reply to it listed once (DiscoverySearch). A command's
// search waits a while and may sweep target addresses; the window's lists rows until cancelled.
struct SearchJob {
    using StopWhen = std::function<bool(const DeviceRow&)>;

    // A routed search's addresses. The set is walked once, from its start, by each search.
    struct Sweep {
        TargetSet targets;
        int rate = SweepPacer::kDefaultRate; // requests a second
        bool broadcast = false;              // also the broadcast on every adapter
    };
    // Addresses of the sweep, by what became of them.
    struct Swept {
        std::uint64_t sent = 0;
        std::uint64_t noRoute = 0;     // the system has no route to them
        std::uint64_t notSearched = 0; // their route leaves by an adapter not searched (or unbindable)
        std::uint64_t unsent = 0;      // the system refused the request (its send buffer was full)
    };
    // Where, how long at most (none: until cancelled), when it may end early (stopWhen holds for a
    // listed row), how its replies are told apart, and the targets it sweeps besides the broadcast.
    struct Request {
        AdapterTable adapters;
        std::optional<std::chrono::milliseconds> wait;
        StopWhen stopWhen;
        DiscoverySearch::Keying keying = DiscoverySearch::Keying::Sender;
        std::optional<Sweep> sweep;
    };

    // The search was sent: its number, which its replies carry, and the adapters whose port 4001
    // could not be bound (each error names its adapter; in table order).
    struct Started {
        std::int16_t sequence = 0;
        std::vector<SocketError> unbindable;
        int requestsSent = 0; // 0: the search reached nobody
    };
    // First Started, then each listed row as it comes.
    using Event = std::variant<Started, DeviceRow>;
    using Command = std::monostate;

    struct Outcome {
        Started started;
        Swept swept;
        std::vector<DeviceRow> rows; // every listed row, in arrival order
        std::int64_t replyCount = 0; // accepted replies, repeats included
    };
};

} // namespace fw
