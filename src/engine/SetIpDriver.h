// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EndpointFactory.h"
#include "setip/SetIpExchange.h"
#include "setip/SetIpJob.h"

#include <asio/awaitable.hpp>
#include <functional>

namespace fw::engine {

// The Set IP exchange on its endpoint: 0.0.0.0:4001 tied to one adapter, sending to
// 255.255.255.255:4000, or by unicast to port 4000 of a device behind a router (the record still
// names its MAC). Every datagram that arrives goes to the exchange, which is the caller's (it lives
// for the whole run) and is touched on the engine thread only while a run() goes on. Engine thread
// only.
class SetIpDriver {
public:
    using Job = SetIpJob;
    using Observer = std::function<void(const SetIpJob::Event&)>; // a session's; may be empty

    SetIpDriver(EndpointFactory& endpoints, SetIpExchange& exchange);

    // Opens the exchange and binds the endpoint (a port another program holds there is
    // PortInUse), then one request (Request::once) or a session until cancelled through the
    // awaiting coroutine's cancellation slot, its answers told to the observer.
    asio::awaitable<SetIpJob::Outcome> run(SetIpJob::Request request, const Observer& observer);
    // A running session's command; nothing without one. A failed send is not reported: the
    // exchange has no retransmission of its own to drive.
    void command(const SetIpJob::Command& command);

    struct Session; // a run()'s local

private:
    EndpointFactory& endpoints_;
    SetIpExchange& exchange_;
    Session* session_ = nullptr;
};

} // namespace fw::engine
