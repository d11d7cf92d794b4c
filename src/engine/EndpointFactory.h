// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/RecordNumbers.h"
#include "common/Result.h"
#include "common/SocketError.h"
#include "engine/Endpoint.h"

#include <asio/any_io_executor.hpp>
#include <cstdint>
#include <memory>
#include <optional>

namespace fw::engine {

using EndpointResult = Result<std::unique_ptr<Endpoint>, SocketError>;

// Where the drivers get their sockets: AsioEndpointFactory on the engine's io_context, or a test's
// fake. Called on the engine's thread only.
class EndpointFactory {
public:
    virtual ~EndpointFactory() = default;
    // Where the drivers' coroutines and timers run: the engine's io_context.
    virtual asio::any_io_executor executor() = 0;
    // 0.0.0.0:port tied to the adapter's interface, with SO_BROADCAST and never SO_REUSEADDR: it
    // sends out of that adapter only (also to 255.255.255.255) and receives the unicast and
    // broadcast datagrams arriving there; a port another socket holds there is PortInUse. An entry
    // without an interface name is bound by its address instead. localAddress() is the adapter's ip.
    virtual EndpointResult bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) = 0;
    // local:port (port 0: a free one), for unicast exchanges with one device.
    virtual EndpointResult bindToAddress(Ipv4 local, std::uint16_t port) = 0;
    // The local address the system would send from to `to` (its route's source); none without a
    // route. Asks the routing table only: nothing is sent.
    virtual std::optional<Ipv4> routeSource(Ipv4 to) = 0;
    // The run's record numbers: every search and Set IP request takes its number here, so that no
    // two exchanges of one run share one.
    virtual RecordNumbers& recordNumbers() = 0;
};

} // namespace fw::engine
