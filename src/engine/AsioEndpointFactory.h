// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AsioEndpoint.h"
#include "engine/EndpointFactory.h"

#include <random>

namespace fw::engine {

// The EndpointFactory of the real sockets.
class AsioEndpointFactory final : public EndpointFactory {
public:
    // The run starts at a number of its own: a late answer to an earlier run's exchange (another
    // fernwick-cli that has ended, say) then carries a number this run is not waiting for.
    explicit AsioEndpointFactory(asio::io_context& context) : context_(context), numbers_(unpredictable()) {}
    asio::any_io_executor executor() override { return context_.get_executor(); }
    EndpointResult bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) override {
        return AsioEndpoint::bindToAdapter(context_, adapter, port);
    }
    EndpointResult bindToAddress(Ipv4 local, std::uint16_t port) override {
        return AsioEndpoint::bindToAddress(context_, local, port);
    }
    std::optional<Ipv4> routeSource(Ipv4 to) override { return AsioEndpoint::routeSource(context_, to); }
    RecordNumbers& recordNumbers() override { return numbers_; }

private:
    static std::int16_t unpredictable() {
        std::random_device device;
        return static_cast<std::int16_t>(
            std::uniform_int_distribution<int>(RecordNumbers::kFirst, RecordNumbers::kLast)(device));
    }

    asio::io_context& context_;
    RecordNumbers numbers_;
};

} // namespace fw::engine
