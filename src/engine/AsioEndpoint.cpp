// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AsioEndpoint.h"

#include "engine/SocketOptions.h"

#include <asio/ip/udp.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {

using asio::ip::udp;

struct AsioEndpoint::State {
    explicit State(asio::io_context& context) : socket(context), timer(context) {}

    udp::socket socket;
    asio::steady_timer timer;
    Ipv4 local;
    std::uint16_t port = 0;
    Clock::time_point deadline;                            // of the receive waiting now
    Clock::time_point armedFor = Clock::time_point::max(); // max: the timer is not armed
    bool waiting = false;
};

namespace {

using State = AsioEndpoint::State;

udp::endpoint toEndpoint(Ipv4 ip, std::uint16_t port) {
    return {asio::ip::address_v4(ip.toHostOrder()), port};
}

void arm(const std::shared_ptr<State>& s);

// Asio reports the system's errors in a category of its own, which std::errc does not compare with.
SocketError socketError(const std::error_code& error) {
    if (error.category() == asio::system_category()) {
        return SocketError::from(std::error_code(error.value(), std::system_category()));
    }
    return SocketError::from(error);
}

// The timer ends a wait whose deadline has come by cancelling the socket's readiness wait; one that
// fires early (the deadline moved on since it was armed) is re-armed for the deadline.
void onTimer(const std::shared_ptr<State>& s, const std::error_code& error) {
    if (error) {
        return; // re-armed or closed: a newer arming or nobody waits
    }
    s->armedFor = Clock::time_point::max();
    if (!s->waiting) {
        return;
    }
    if (Clock::now() >= s->deadline) {
        s->socket.cancel();
    } else {
        arm(s);
    }
}

void arm(const std::shared_ptr<State>& s) {
    if (s->armedFor <= s->deadline) {
        return; // it fires first and moves itself on
    }
    s->armedFor = s->deadline;
    s->timer.expires_at(s->deadline);
    s->timer.async_wait([s](const std::error_code& error) { onTimer(s, error); });
}

// A free coroutine holding the state, so that an endpoint destroyed while it waits leaves nothing
// dangling: the closed socket ends the wait and this frame finds it closed.
asio::awaitable<std::optional<Received>> receiveOn(std::shared_ptr<State> s, std::span<std::uint8_t> buffer,
                                                   Clock::time_point deadline) {
    for (;;) {
        if (!s->socket.is_open()) {
            co_return std::nullopt;
        }
        udp::endpoint from;
        std::error_code error;
        const std::size_t n =
            s->socket.receive_from(asio::buffer(buffer.data(), buffer.size()), from, 0, error);
        if (!error) {
            co_return Received{UdpAddress{Ipv4::fromHostOrder(from.address().to_v4().to_uint()), from.port()},
                               buffer.first(n)};
        }
        if (error != asio::error::would_block && error != asio::error::try_again) {
            if (error == asio::error::bad_descriptor) {
                co_return std::nullopt;
            }
            continue; // a pending socket error (an ICMP report, say) was taken with it; read on
        }
        if (Clock::now() >= deadline) {
            co_return std::nullopt;
        }
        s->deadline = deadline;
        s->waiting = true;
        arm(s);
        std::error_code waited;
        co_await s->socket.async_wait(udp::socket::wait_read,
                                      asio::redirect_error(asio::use_awaitable, waited));
        s->waiting = false;
        // Readable, the deadline came, or closed: the next turn reads, looks at the clock and the socket.
    }
}

EndpointResult bound(std::shared_ptr<State> s, udp::endpoint at, std::optional<Ipv4> reported) {
    std::error_code error;
    growReceiveBuffer(s->socket.native_handle(), AsioEndpoint::kReceiveBufferBytes);
    s->socket.bind(at, error);
    if (!error) {
        s->socket.non_blocking(true, error);
    }
    if (!error) {
        s->port = s->socket.local_endpoint(error).port();
    }
    if (error) {
        return Failure{socketError(error)};
    }
    s->local = reported.value_or(Ipv4::fromHostOrder(at.address().to_v4().to_uint()));
    return AsioEndpoint::adopt(std::move(s));
}

std::optional<SocketError> openBroadcast(State& s) {
    std::error_code error;
    s.socket.open(udp::v4(), error);
    if (!error) {
        s.socket.set_option(asio::socket_base::broadcast(true), error);
    }
    if (error) {
        return socketError(error);
    }
    return std::nullopt;
}

} // namespace

EndpointResult AsioEndpoint::adopt(std::shared_ptr<State> state) {
    return std::unique_ptr<Endpoint>(new AsioEndpoint(std::move(state)));
}

EndpointResult AsioEndpoint::bindToAdapter(asio::io_context& context, const AdapterEntry& adapter,
                                           std::uint16_t port) {
    const Ipv4 ip = adapter.ip.value_or(Ipv4::any());
    if (adapter.interfaceName.empty()) {
        return bindToAddress(context, ip, port);
    }
    auto s = std::make_shared<State>(context);
    if (auto error = openBroadcast(*s)) {
        return Failure{*error};
    }
    // Tied before bind, so that the port is taken on this interface only.
    if (const std::error_code error = tieToAdapter(s->socket.native_handle(), adapter.interfaceName)) {
        return Failure{socketError(error)};
    }
    return bound(std::move(s), toEndpoint(Ipv4::any(), port), ip);
}

EndpointResult AsioEndpoint::bindToAddress(asio::io_context& context, Ipv4 local, std::uint16_t port) {
    auto s = std::make_shared<State>(context);
    if (auto error = openBroadcast(*s)) {
        return Failure{*error};
    }
    return bound(std::move(s), toEndpoint(local, port), std::nullopt);
}

AsioEndpoint::AsioEndpoint(std::shared_ptr<State> state) : state_(std::move(state)) {}

AsioEndpoint::~AsioEndpoint() {
    close();
}

Status<SocketError> AsioEndpoint::send(UdpAddress to, std::span<const std::uint8_t> bytes) {
    std::error_code error;
    if (!state_->socket.is_open()) {
        return Failure{SocketError::from(std::make_error_code(std::errc::bad_file_descriptor))};
    }
    state_->socket.send_to(asio::buffer(bytes.data(), bytes.size()), toEndpoint(to.ip, to.port), 0, error);
    if (error) {
        return Failure{socketError(error)};
    }
    return Done{};
}

asio::awaitable<std::optional<Received>> AsioEndpoint::receive(std::span<std::uint8_t> buffer,
                                                               Clock::time_point deadline) {
    return receiveOn(state_, buffer, deadline);
}

void AsioEndpoint::close() {
    std::error_code ignored;
    state_->socket.close(ignored);
    state_->timer.cancel();
    state_->armedFor = Clock::time_point::max();
}

bool AsioEndpoint::isOpen() const {
    return state_->socket.is_open();
}

Ipv4 AsioEndpoint::localAddress() const {
    return state_->local;
}

std::uint16_t AsioEndpoint::localPort() const {
    return state_->socket.is_open() ? state_->port : 0;
}

} // namespace fw::engine
