// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AsioEndpoint.h"
#include "engine/EndpointFactory.h"

namespace fw::engine {

// The EndpointFactory of the real sockets.
class AsioEndpointFactory final : public EndpointFactory {
public:
    explicit AsioEndpointFactory(asio::io_context& context) : context_(context) {}
    asio::any_io_executor executor() override { return context_.get_executor(); }
    EndpointResult bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) override {
        return AsioEndpoint::bindToAdapter(context_, adapter, port);
    }
    EndpointResult bindToAddress(Ipv4 local, std::uint16_t port) override {
        return AsioEndpoint::bindToAddress(context_, local, port);
    }
    std::optional<Ipv4> routeSource(Ipv4 to) override { return AsioEndpoint::routeSource(context_, to); }

private:
    asio::io_context& context_;
};

} // namespace fw::engine
