// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/SocketError.h"
#include "discovery/DeviceRow.h"
#include "discovery/DiscoverySearch.h"
#include "discovery/SweepPacer.h"
#include "discovery/TargetSet.h"
#include "engine/EndpointFactory.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace fw::engine {

// The searches of a window or a command: one endpoint per adapter (0.0.0.0:4001 tied to it), one
// request each to 255.255.255.255:4000, and every reply fed to DiscoverySearch; each listed row
// goes to the sink. An adapter whose port cannot be bound is skipped, the search goes on, and
// start() names it: the one policy for an unbindable port (the caller says so to the operator).
// A command's search may also sweep targets: the same request by unicast to port 4000 of each
// address, paced, from port 4001 of the adapter the route to the address leaves by, so replies
// across a router come back to the same endpoints and the same search.
// Engine thread only. The object may go at any time: the readers still queued end on their own.
class SearchDriver {
public:
    using RowSink = std::function<void(const DeviceRow&)>; // on the engine thread
    using StopWhen = std::function<bool(const DeviceRow&)>;

    struct BindFailure {
        AdapterEntry adapter;
        SocketError error; // Kind::PortInUse: another program holds port 4001 there
    };
    struct Started {
        std::int16_t sequence = 0;           // the search's number, which its replies carry
        std::vector<BindFailure> unbindable; // in table order
        int requestsSent = 0;                // 0: the search reached nobody
    };
    // A routed search's addresses. The set is walked once, from its start, by each once().
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
    // One search of a command: where, how long at most, when it may end early (stopWhen holds for a
    // listed row), how its replies are told apart, and the targets it sweeps besides the broadcast.
    struct Request {
        AdapterTable adapters;
        std::chrono::milliseconds wait{0};
        StopWhen stopWhen;
        DiscoverySearch::Keying keying = DiscoverySearch::Keying::Sender;
        std::optional<Sweep> sweep;
    };
    struct Summary {
        Started started; // started.sequence: the number this search used
        Swept swept;
        std::vector<DeviceRow> rows; // every listed row, in arrival order
        std::int64_t replyCount = 0; // accepted replies, repeats included
    };

    SearchDriver(EndpointFactory& endpoints, RowSink sink);
    ~SearchDriver(); // close()
    SearchDriver(const SearchDriver&) = delete;
    SearchDriver& operator=(const SearchDriver&) = delete;

    // The window's search (one row per sender): the run's next sequence number, the endpoints bound (endpoint
    // 0 stays as it is while open; the others are made anew), one request per bound adapter. Replies to this
    // search go on becoming rows until the next start() or close().
    Started start(const AdapterTable& adapters);
    // Closes every endpoint at once: nothing more is listed, port 4001 is free again.
    void close();

    // A command's search: start(), then the wait (cut short once stopWhen holds for a listed row),
    // then close(). Rows also go to the sink as they come. With a sweep, the broadcast goes only
    // when it asks for it, and the wait counts from the sweep's last request; without the
    // broadcast, started.unbindable names only the adapters the sweep's routes leave by.
    asio::awaitable<Summary> once(Request request);

    struct State; // shared with the driver's coroutines

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
