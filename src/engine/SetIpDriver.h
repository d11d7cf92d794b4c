// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/Result.h"
#include "engine/EndpointFactory.h"
#include "engine/SocketError.h"
#include "setip/SetIpExchange.h"
#include "setip/SetIpPort.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace fw::engine {

// The Set IP exchange on its endpoint: 0.0.0.0:4001 tied to one adapter, sending to
// 255.255.255.255:4000, or by unicast to port 4000 of a device behind a router. Every datagram
// that arrives while open goes to the exchange; its answers go to request() while that waits for
// one, else to the sink, which sends a done answer's acknowledgement with acknowledge() when it
// chooses (a window: once the operator has closed the answer's box). The exchange is the caller's
// (it lives for the whole run) and is touched on the engine thread only while open. Engine thread
// only.
class SetIpDriver {
public:
    // A done answer's acknowledgement and where it goes (port 4000): the broadcast address, or the
    // answer's sender when the device is reached by unicast (it took its new address before
    // answering). The window's port hands both on as they are.
    using Acknowledgement = SetIpPort::Acknowledgement;
    using Answer = SetIpPort::Answer;
    using AnswerSink = std::function<void(const Answer&)>; // on the engine thread

    struct Fixed {
        Ipv4 address;
        Ipv4 mask;
        Ipv4 gateway;
    };

    SetIpDriver(EndpointFactory& endpoints, SetIpExchange& exchange, AnswerSink sink);
    ~SetIpDriver(); // close()
    SetIpDriver(const SetIpDriver&) = delete;
    SetIpDriver& operator=(const SetIpDriver&) = delete;

    // Binds the endpoint; a port another program holds there is SocketError::Kind::PortInUse.
    // device: its current address, where the requests then go instead of the broadcast address
    // (the record still names its MAC); the acknowledgement goes to the answer's sender.
    Status<SocketError> open(const AdapterEntry& adapter, std::optional<Ipv4> device = std::nullopt);
    void close();
    bool isOpen() const;

    // The first step of the window's OK press: the exchange takes the run's next number.
    void numberRequest();
    // Then one request, as the exchange words it.
    void sendFixed(const Fixed& fixed);
    void sendDhcp();
    // Sends an acknowledgement the sink was given; nothing once closed.
    void acknowledge(const Acknowledgement& acknowledgement);

    // A command's exchange, once open: a new number, the request (none: DHCP), then up to `timeout`
    // for the answer, the same request again up to `retries` times. A done answer is acknowledged
    // at once. None: no answer came.
    asio::awaitable<std::optional<SetIpAnswer>> request(std::optional<Fixed> fixed, int retries,
                                                        std::chrono::milliseconds timeout);

    struct State; // shared with the driver's coroutines

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
