// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AsioEndpoint.h"

#include "common/RecordHeader.h"
#include "engine/SocketOptions.h"

#include <algorithm>
#include <asio/ip/udp.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>
#include <vector>

namespace fw::engine {

using asio::ip::udp;

namespace {

// A round trip to a device on the LAN takes well under this. An endpoint whose last datagram came
// within it of the receive's start waits for the next one in place, holding the thread, as a plain
// blocking client does: one call where the reactor costs three. A slower answer goes through the
// reactor, so a slow device never holds up the other jobs on the engine.
constexpr std::chrono::microseconds kInPlaceWait{1000};
// Datagrams taken in place back to back before the other jobs on the engine get a turn.
constexpr std::chrono::milliseconds kInPlacePass{2};

} // namespace

struct AsioEndpoint::State {
    explicit State(asio::io_context& context) : socket(context), timer(context) {}

    udp::socket socket;
    Timer timer;
    Ipv4 local;
    std::uint16_t port = 0;
    Clock::time_point deadline;                            // of the receive waiting now
    Clock::time_point armedFor = Clock::time_point::max(); // max: the timer is not armed
    bool receiving = false;                                // a receive waits in the reactor
    bool lockStep = false;                                 // a unicast endpoint: it may wait in place
    bool quick = false;          // the last datagram came within kInPlaceWait of its receive's start
    Clock::time_point passStart; // when the other jobs last had a turn
};

namespace {

using State = AsioEndpoint::State;

udp::endpoint toEndpoint(Ipv4 ip, std::uint16_t port) {
    return {asio::ip::address_v4(ip.toHostOrder()), port};
}

UdpAddress toAddress(const udp::endpoint& from) {
    return UdpAddress{Ipv4::fromHostOrder(from.address().to_v4().to_uint()), from.port()};
}

// Asio reports the system's errors in a category of its own, which std::errc does not compare with.
SocketError socketError(const std::error_code& error) {
    if (error.category() == asio::system_category()) {
        return SocketError::from(systemError(error));
    }
    return SocketError::from(error);
}

void arm(const std::shared_ptr<State>& s);

// The timer ends a wait whose deadline has come by cancelling the receive, which takes nothing off
// the socket; one that fires early (the deadline moved on since it was armed) is re-armed.
void onTimer(const std::shared_ptr<State>& s, const std::error_code& error) {
    if (error) {
        return; // re-armed or closed: a newer arming or nobody waits
    }
    s->armedFor = Clock::time_point::max();
    if (!s->receiving) {
        return;
    }
    if (Clock::now() >= s->deadline) {
        std::error_code ignored;
        s->socket.cancel(ignored);
    } else {
        arm(s);
    }
}

// One timer per endpoint, re-armed only when a wait ends earlier than the one it is armed for: a
// lock-step exchange, whose deadline moves on with every datagram, pays no timer call per datagram.
void arm(const std::shared_ptr<State>& s) {
    if (s->armedFor <= s->deadline) {
        return; // it fires first and moves itself on
    }
    s->armedFor = s->deadline;
    s->timer.expires_at(s->deadline);
    s->timer.async_wait([s](const std::error_code& error) { onTimer(s, error); });
}

// The in-place wait (see kInPlaceWait); none when nothing came within it. The socket is switched
// to blocking mode for it; Asio switches it back when it next waits in the reactor.
std::optional<Received> receiveInPlace(State& s, std::span<std::uint8_t> buffer, Clock::time_point start) {
    std::error_code error;
    if (s.socket.native_non_blocking()) {
        s.socket.native_non_blocking(false, error);
    }
    const auto got = error ? std::nullopt : receiveBlocking(s.socket.native_handle(), buffer);
    if (!got) {
        return std::nullopt;
    }
    s.quick = Clock::now() - start <= kInPlaceWait;
    return Received{got->second, buffer.first(got->first)};
}

// A free coroutine holding the state, so that an endpoint destroyed while it waits leaves nothing
// dangling: the closed socket ends the receive and this frame finds it closed.
asio::awaitable<std::optional<Received>> receiveOn(std::shared_ptr<State> s, std::span<std::uint8_t> buffer,
                                                   Clock::time_point deadline) {
    for (;;) {
        if (!s->socket.is_open()) {
            co_return std::nullopt;
        }
        const auto start = Clock::now();
        // At the end of a pass the receive goes through the reactor, behind whatever is ready there.
        if (s->lockStep && s->quick && deadline - start >= kInPlaceWait &&
            start - s->passStart < kInPlacePass) {
            if (auto got = receiveInPlace(*s, buffer, start)) {
                co_return got;
            }
        }
        // Asio reads first and waits only when nothing is there; a cancelled receive has taken nothing.
        s->deadline = deadline;
        s->receiving = true;
        arm(s);
        udp::endpoint from;
        std::error_code error;
        const std::size_t n =
            co_await s->socket.async_receive_from(asio::buffer(buffer.data(), buffer.size()), from,
                                                  asio::redirect_error(asio::use_awaitable, error));
        s->receiving = false;
        s->passStart = Clock::now();
        if (!error) {
            s->quick = s->passStart - start <= kInPlaceWait;
            co_return Received{toAddress(from), buffer.first(n)};
        }
        if (error == asio::error::operation_aborted && (!s->socket.is_open() || Clock::now() >= deadline)) {
            co_return std::nullopt;
        }
        // Otherwise a pending socket error (an ICMP report, say) was taken with the read: read on.
    }
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

EndpointResult bound(std::shared_ptr<State> s, udp::endpoint at, std::optional<Ipv4> reported) {
    std::error_code error;
    growReceiveBuffer(s->socket.native_handle(), AsioEndpoint::kReceiveBufferBytes);
    if (s->lockStep) {
        limitBlockingReceive(s->socket.native_handle(), kInPlaceWait);
    }
    s->socket.bind(at, error);
    if (!error) {
        s->port = s->socket.local_endpoint(error).port();
    }
    if (error) {
        return Failure{socketError(error)};
    }
    s->local = reported.value_or(Ipv4::fromHostOrder(at.address().to_v4().to_uint()));
    return AsioEndpoint::adopt(std::move(s));
}

EndpointResult bindAddress(asio::io_context& context, Ipv4 local, std::uint16_t port, bool lockStep) {
    auto s = std::make_shared<State>(context);
    s->lockStep = lockStep;
    if (auto error = openBroadcast(*s)) {
        return Failure{*error};
    }
    return bound(std::move(s), toEndpoint(local, port), std::nullopt);
}

} // namespace

EndpointResult AsioEndpoint::adopt(std::shared_ptr<State> state) {
    return std::unique_ptr<Endpoint>(new AsioEndpoint(std::move(state)));
}

EndpointResult AsioEndpoint::bindToAdapter(asio::io_context& context, const AdapterEntry& adapter,
                                           std::uint16_t port) {
    const Ipv4 ip = adapter.ip.value_or(Ipv4::any());
    if (adapter.interfaceName.empty()) {
        return bindAddress(context, ip, port, false);
    }
    auto s = std::make_shared<State>(context);
    if (auto error = openBroadcast(*s)) {
        return Failure{*error};
    }
    // Tied before bind, so that the port is taken on this interface only.
    if (const std::error_code error = tieToAdapter(s->socket.native_handle(), adapter.interfaceName)) {
        return Failure{socketError(error)};
    }
    auto endpoint = bound(s, toEndpoint(adapterBindAddress(ip), port), ip);
    // A send the system cannot take at once fails instead of holding the engine: datagrams to
    // neighbours that do not resolve stay charged to the socket for the 3 s of ARP, so a sweep
    // towards them fills the send buffer.
    std::error_code ignored;
    s->socket.non_blocking(true, ignored);
    return endpoint;
}

// A unicast endpoint exchanges datagrams with one device in lock-step: it may wait in place.
EndpointResult AsioEndpoint::bindToAddress(asio::io_context& context, Ipv4 local, std::uint16_t port) {
    return bindAddress(context, local, port, true);
}

// Connecting a UDP socket sends nothing: it only asks the routing table, and binds the socket to the
// route's source address, which getsockname() then tells. The same on Linux and Windows.
std::optional<Ipv4> AsioEndpoint::routeSource(asio::io_context& context, Ipv4 to) {
    udp::socket socket(context);
    std::error_code error;
    socket.open(udp::v4(), error);
    if (!error) {
        socket.connect(toEndpoint(to, kDevicePort), error);
    }
    const auto local = error ? udp::endpoint() : socket.local_endpoint(error);
    if (error || local.address().is_unspecified()) {
        return std::nullopt;
    }
    return Ipv4::fromHostOrder(local.address().to_v4().to_uint());
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
