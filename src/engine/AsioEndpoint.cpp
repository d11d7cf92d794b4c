// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AsioEndpoint.h"

#include "engine/SocketOptions.h"

#include <algorithm>
#include <asio/ip/udp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <vector>

namespace fw::engine {

using asio::ip::udp;

struct AsioEndpoint::State {
    // The receive suspended now; resumed by a readiness signal, the deadline or close().
    class Waiter {
    public:
        virtual ~Waiter() = default;
        virtual void resume() = 0;
    };

    explicit State(asio::io_context& context) : socket(context), timer(context) {}

    udp::socket socket;
    asio::steady_timer timer;
    Ipv4 local;
    std::uint16_t port = 0;
    std::unique_ptr<Waiter> waiter;
    Clock::time_point deadline;                            // of the receive waiting now
    Clock::time_point armedFor = Clock::time_point::max(); // max: the timer is not armed
    bool watching = false;           // a readiness wait is queued; from the first receive on, always
    bool readable = false;           // the socket signalled since it was last read
    bool empty = false;              // the last read left nothing behind, and it has been watched since
    std::vector<std::uint8_t> spare; // a second datagram taken by the last read, for the next receive
    std::optional<Arrival> spareArrival;
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

void wake(State& s) {
    if (auto waiter = std::move(s.waiter)) {
        waiter->resume();
    }
}

// A readiness wait is queued at all times, so that no signal of the socket's goes unseen even while
// nobody receives: a read that found the socket empty then needs no second read before the next
// wait, and a lock-step exchange costs one send, one wait and one read per datagram.
void watch(const std::shared_ptr<State>& s) {
    if (s->watching || !s->socket.is_open()) {
        return;
    }
    s->watching = true;
    s->socket.async_wait(udp::socket::wait_read, [s](const std::error_code& error) {
        s->watching = false;
        if (error) {
            return; // closed: close() has woken the receive
        }
        s->readable = true;
        watch(s);
        wake(*s);
    });
}

// The timer ends a wait whose deadline has come; one that fires early (the deadline moved on since
// it was armed) is re-armed for the deadline.
void onTimer(const std::shared_ptr<State>& s, const std::error_code& error) {
    if (error) {
        return; // re-armed or closed: a newer arming or nobody waits
    }
    s->armedFor = Clock::time_point::max();
    if (!s->waiter) {
        return;
    }
    if (Clock::now() >= s->deadline) {
        wake(*s);
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

template <class Handler> class HandlerWaiter final : public State::Waiter {
public:
    explicit HandlerWaiter(Handler handler) : handler_(std::move(handler)) {}
    void resume() override { std::move(handler_)(); }

private:
    Handler handler_;
};

auto suspend(State& s) {
    return asio::async_initiate<const asio::use_awaitable_t<>&, void()>(
        [&s](auto handler) {
            s.waiter = std::make_unique<HandlerWaiter<decltype(handler)>>(std::move(handler));
        },
        asio::use_awaitable);
}

Received fromSpare(State& s, std::span<std::uint8_t> buffer) {
    const Arrival arrival = *s.spareArrival;
    s.spareArrival.reset();
    const std::size_t n = std::min(arrival.size, buffer.size());
    std::copy_n(s.spare.begin(), n, buffer.begin());
    return Received{arrival.from, buffer.first(n)};
}

// A free coroutine holding the state, so that an endpoint destroyed while it waits leaves nothing
// dangling: close() resumes it and it finds the socket closed.
asio::awaitable<std::optional<Received>> receiveOn(std::shared_ptr<State> s, std::span<std::uint8_t> buffer,
                                                   Clock::time_point deadline) {
    for (;;) {
        if (!s->socket.is_open()) {
            co_return std::nullopt;
        }
        if (s->spareArrival) {
            co_return fromSpare(*s, buffer);
        }
        watch(s);
        if (!s->empty || s->readable) {
            s->readable = false;
            if (s->spare.size() < buffer.size()) {
                s->spare.resize(buffer.size()); // once: the same buffer size comes every time
            }
            std::array<Arrival, 2> arrivals{};
            const auto taken = receiveUpToTwo(s->socket.native_handle(), buffer,
                                              std::span(s->spare).first(buffer.size()), arrivals);
            if (!taken) {
                s->empty = false;
                continue; // the socket's pending error was taken with the read; read on
            }
            s->empty = *taken < 2;
            if (*taken == 2) {
                s->spareArrival = arrivals[1];
            }
            if (*taken > 0) {
                co_return Received{arrivals[0].from, buffer.first(std::min(arrivals[0].size, buffer.size()))};
            }
        }
        if (Clock::now() >= deadline) {
            co_return std::nullopt;
        }
        s->deadline = deadline;
        arm(s);
        co_await suspend(*s);
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
    state_->spareArrival.reset();
    if (state_->waiter) {
        // Later, not inside the caller: the receive's owner may be in the middle of a call of its own.
        asio::post(state_->socket.get_executor(), [s = state_] { wake(*s); });
    }
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
