// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/SearchJob.h"
#include "engine/EndpointFactory.h"

#include <asio/awaitable.hpp>
#include <functional>
#include <memory>

namespace fw::engine {

// Searches, one run() each: one endpoint per adapter (0.0.0.0:4001 tied to it), one request each to
// 255.255.255.255:4000, and every reply fed to DiscoverySearch. An adapter whose port cannot be
// bound is skipped, the search goes on, and Started names it: the one policy for an unbindable port
// (the caller says so to the operator). A command's search may also sweep targets: the same request
// by unicast to port 4000 of each address, paced, from port 4001 of the adapter the route to the
// address leaves by, so replies across a router come back to the same endpoints and the same search.
// Engine thread only. The object may go at any time: the readers still queued end on their own.
class SearchDriver {
public:
    using Job = SearchJob;
    using Observer = std::function<void(const SearchJob::Event&)>; // on the engine thread; may be empty

    explicit SearchDriver(EndpointFactory& endpoints);
    ~SearchDriver(); // closes every endpoint
    SearchDriver(const SearchDriver&) = delete;
    SearchDriver& operator=(const SearchDriver&) = delete;

    // The run's next sequence number, the endpoints bound, one request per bound adapter (Started),
    // then the rows as replies come (cut short once stopWhen holds for one), for the wait or, without
    // one, until cancelled through the awaiting coroutine's cancellation slot; then every endpoint
    // closes, port 4001 is free again. A search started at once after a cancelled one (the window's
    // next) keeps endpoint 0 as it is while open; the others are made anew. With a sweep, the
    // broadcast goes only when it asks for it, and the wait counts from the sweep's last request;
    // without the broadcast, Started names only the adapters the sweep's routes leave by.
    asio::awaitable<SearchJob::Outcome> run(SearchJob::Request request, const Observer& observer);

    struct State; // shared with the driver's coroutines

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
