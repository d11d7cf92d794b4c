// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Endpoint.h"
#include "engine/EndpointFactory.h"

#include <asio/io_context.hpp>
#include <memory>

namespace fw::engine {

// A real UDP socket on an io_context. A receive first reads without waiting, and only when nothing
// is there waits for the socket to become readable, raced against one timer per endpoint: the timer
// is re-armed only when a wait ends earlier than the one it is armed for, so a lock-step exchange
// pays no timer call per datagram, and a wait that ends never takes a datagram off the socket.
class AsioEndpoint final : public Endpoint {
public:
    // The receive buffer asked for: a search can bring hundreds of replies at once.
    static constexpr int kReceiveBufferBytes = 1 << 20;

    static EndpointResult bindToAdapter(asio::io_context& context, const AdapterEntry& adapter,
                                        std::uint16_t port);
    static EndpointResult bindToAddress(asio::io_context& context, Ipv4 local, std::uint16_t port);
    static std::optional<Ipv4> routeSource(asio::io_context& context, Ipv4 to);

    ~AsioEndpoint() override;

    Status<SocketError> send(UdpAddress to, std::span<const std::uint8_t> bytes) override;
    asio::awaitable<std::optional<Received>> receive(std::span<std::uint8_t> buffer,
                                                     Clock::time_point deadline) override;
    void close() override;
    bool isOpen() const override;
    Ipv4 localAddress() const override;
    std::uint16_t localPort() const override;

    struct State; // shared with the handlers still queued when the endpoint goes
    static EndpointResult adopt(std::shared_ptr<State> state);

private:
    explicit AsioEndpoint(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
