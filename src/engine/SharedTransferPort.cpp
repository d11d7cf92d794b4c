// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SharedTransferPort.h"

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/post.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>
#include <deque>

namespace fw::engine {
namespace {

struct Datagram {
    UdpAddress from;
    std::vector<std::uint8_t> bytes;
};

} // namespace

struct SharedTransferPort::View {
    explicit View(const asio::any_io_executor& executor) : wake(executor) {}

    bool hears(Ipv4 from) const {
        return hearsAll || std::find(peers.begin(), peers.end(), from) != peers.end();
    }

    std::deque<Datagram> queue;
    std::vector<Ipv4> peers; // the addresses it has sent to
    bool hearsAll = false;   // it has sent a broadcast
    bool open = true;
    Timer wake; // the receive waiting now, woken by a datagram or close
};

class SharedTransferPort::Exchange final : public Endpoint {
public:
    Exchange(std::shared_ptr<SharedTransferPort> port, std::shared_ptr<View> view)
        : port_(std::move(port)), view_(std::move(view)) {}
    ~Exchange() override { close(); }

    Status<SocketError> send(UdpAddress to, std::span<const std::uint8_t> bytes) override {
        if (!isOpen()) {
            return Failure{SocketError::from(std::make_error_code(std::errc::bad_file_descriptor))};
        }
        if (to.ip == Ipv4::broadcast()) {
            view_->hearsAll = true;
        } else if (!view_->hears(to.ip)) {
            view_->peers.push_back(to.ip);
        }
        return port_->socket_->send(to, bytes);
    }
    asio::awaitable<std::optional<Received>> receive(std::span<std::uint8_t> buffer,
                                                     Clock::time_point deadline) override {
        return take(view_, buffer, deadline);
    }
    void close() override { port_->close(*view_); }
    bool isOpen() const override { return view_->open && port_->socket_->isOpen(); }
    Ipv4 localAddress() const override { return port_->socket_->localAddress(); }
    std::uint16_t localPort() const override { return isOpen() ? port_->socket_->localPort() : 0; }

private:
    // A free coroutine holding the view, so that an exchange destroyed while it waits leaves nothing
    // dangling. What is queued is taken even past the deadline, as a socket is read before waiting.
    static asio::awaitable<std::optional<Received>>
    take(std::shared_ptr<View> view, std::span<std::uint8_t> buffer, Clock::time_point deadline) {
        while (view->open && view->queue.empty() && Clock::now() < deadline) {
            view->wake.expires_at(deadline);
            std::error_code ignored;
            co_await view->wake.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
        if (!view->open || view->queue.empty()) {
            co_return std::nullopt;
        }
        const Datagram got = std::move(view->queue.front());
        view->queue.pop_front();
        const std::size_t n = std::min(got.bytes.size(), buffer.size());
        std::copy_n(got.bytes.begin(), n, buffer.begin());
        co_return Received{got.from, buffer.first(n)};
    }

    std::shared_ptr<SharedTransferPort> port_;
    std::shared_ptr<View> view_;
};

SharedTransferPort::SharedTransferPort(asio::any_io_executor executor, std::unique_ptr<Endpoint> socket)
    : executor_(std::move(executor)), socket_(std::move(socket)) {}

std::shared_ptr<SharedTransferPort> SharedTransferPort::adopt(asio::any_io_executor executor,
                                                              std::unique_ptr<Endpoint> socket) {
    return std::shared_ptr<SharedTransferPort>(
        new SharedTransferPort(std::move(executor), std::move(socket)));
}

std::unique_ptr<Endpoint> SharedTransferPort::view() {
    if (!isOpen()) {
        return nullptr;
    }
    views_.push_back(std::make_shared<View>(executor_));
    if (!reading_) {
        reading_ = true;
        asio::co_spawn(executor_, read(shared_from_this()), asio::detached);
    }
    return std::make_unique<Exchange>(shared_from_this(), views_.back());
}

bool SharedTransferPort::isOpen() const {
    return socket_->isOpen();
}

// Holds the port until its socket is closed, which ends the receive waiting here.
asio::awaitable<void> SharedTransferPort::read(std::shared_ptr<SharedTransferPort> port) {
    std::vector<std::uint8_t> buffer(kLargestDatagramBytes);
    while (port->socket_->isOpen()) {
        const auto got = co_await port->socket_->receive(buffer, Clock::time_point::max());
        if (got) {
            port->deliver(*got);
            // The woken views answer before the next read: a socket that waits in place for a
            // lock-step answer would otherwise wait for answers to packets not yet sent.
            co_await asio::post(port->executor_, asio::use_awaitable);
        }
    }
}

void SharedTransferPort::deliver(const Received& got) {
    for (const auto& view : views_) {
        if (view->hears(got.from.ip) && view->queue.size() < kQueueLimit) {
            view->queue.push_back({got.from, {got.bytes.begin(), got.bytes.end()}});
            view->wake.cancel();
        }
    }
}

void SharedTransferPort::close(View& view) {
    if (!view.open) {
        return;
    }
    view.open = false;
    view.queue.clear();
    view.wake.cancel();
    std::erase_if(views_, [&](const auto& v) { return v.get() == &view; });
    if (views_.empty()) {
        socket_->close();
    }
}

} // namespace fw::engine
