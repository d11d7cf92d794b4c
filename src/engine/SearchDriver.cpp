// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SearchDriver.h"

#include "common/RecordHeader.h"

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/post.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {
namespace {

// Replies taken one after another before the other jobs on the engine get a turn, so that a flood
// of replies cannot hold up an upload or a cancel.
constexpr int kReadBatch = 256;
// A reply is read from its first 96 bytes; a longer datagram is cut, which changes nothing.
constexpr std::size_t kReplyBufferBytes = 2048;

} // namespace

struct SearchDriver::State final : DiscoverySearch::Listener {
    State(EndpointFactory& e, RowSink s, DiscoverySearch::Keying keying)
        : endpoints(e), sink(std::move(s)), search(*this, keying) {}

    void rowListed(const DeviceRow& row) override {
        if (collected != nullptr) {
            collected->push_back(row);
        }
        if (sink) {
            sink(row);
        }
        if (stopWhen && wait != nullptr && stopWhen(row)) {
            wait->cancel();
        }
    }

    Started start(const std::shared_ptr<State>& self, const AdapterTable& adapters);
    void close() {
        for (const auto& endpoint : sockets) {
            if (endpoint) {
                endpoint->close();
            }
        }
        if (wait != nullptr) {
            wait->cancel();
        }
    }

    EndpointFactory& endpoints;
    RowSink sink;
    DiscoverySearch search;
    std::vector<std::shared_ptr<Endpoint>> sockets; // i belongs to adapter i; shared with its reader
    // While once() waits:
    std::vector<DeviceRow>* collected = nullptr;
    StopWhen stopWhen;
    asio::steady_timer* wait = nullptr;
};

namespace {

using State = SearchDriver::State;

asio::awaitable<void> reader(std::shared_ptr<State> s, std::shared_ptr<Endpoint> endpoint) {
    std::array<std::uint8_t, kReplyBufferBytes> buffer{};
    int batch = 0;
    while (endpoint->isOpen()) {
        const auto got = co_await endpoint->receive(buffer, Clock::time_point::max());
        if (!got) {
            continue; // closed: the loop ends
        }
        s->search.onDatagram(got->bytes, got->from.ip, endpoint->localAddress());
        if (++batch == kReadBatch) {
            batch = 0;
            co_await asio::post(co_await asio::this_coro::executor, asio::use_awaitable);
        }
    }
}

} // namespace

SearchDriver::Started State::start(const std::shared_ptr<State>& self, const AdapterTable& adapters) {
    Started started;
    search.begin();
    // Endpoint 0 stays as it is while open; the others are made anew.
    while (sockets.size() > (adapters.empty() ? 0 : 1)) {
        if (sockets.back()) {
            sockets.back()->close();
        }
        sockets.pop_back();
    }
    sockets.resize(adapters.size());
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        auto& endpoint = sockets[i];
        if (!endpoint || !endpoint->isOpen()) {
            auto bound = endpoints.bindToAdapter(adapters[i], kWorkstationPort);
            if (!bound) {
                endpoint.reset();
                started.unbindable.push_back({adapters[i], bound.error()});
                continue;
            }
            endpoint = std::move(*bound);
            asio::co_spawn(endpoints.executor(), reader(self, endpoint), asio::detached);
        }
        if (endpoint->send(UdpAddress{Ipv4::broadcast(), kDevicePort}, search.requestFor(adapters[i]))) {
            ++started.requestsSent; // a failed send is not reported
        }
    }
    return started;
}

namespace {

asio::awaitable<SearchDriver::Summary> onceOn(std::shared_ptr<State> s, AdapterTable adapters,
                                              std::chrono::milliseconds wait,
                                              SearchDriver::StopWhen stopWhen) {
    SearchDriver::Summary summary;
    asio::steady_timer timer(s->endpoints.executor(), wait);
    s->collected = &summary.rows;
    s->stopWhen = std::move(stopWhen);
    s->wait = &timer;
    summary.started = s->start(s, adapters); // the readers list nothing before this waits
    std::error_code ignored;
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
    s->wait = nullptr;
    s->stopWhen = nullptr;
    s->collected = nullptr;
    s->close();
    summary.replyCount = s->search.replyCount();
    co_return summary;
}

} // namespace

SearchDriver::SearchDriver(EndpointFactory& endpoints, RowSink sink, DiscoverySearch::Keying keying)
    : state_(std::make_shared<State>(endpoints, std::move(sink), keying)) {}

SearchDriver::~SearchDriver() {
    state_->sink = nullptr;
    close();
}

SearchDriver::Started SearchDriver::start(const AdapterTable& adapters) {
    return state_->start(state_, adapters);
}

void SearchDriver::close() {
    state_->close();
}

asio::awaitable<SearchDriver::Summary> SearchDriver::once(AdapterTable adapters,
                                                          std::chrono::milliseconds wait, StopWhen stopWhen) {
    return onceOn(state_, std::move(adapters), wait, std::move(stopWhen));
}

std::int16_t SearchDriver::sequence() const {
    return state_->search.sequence();
}

} // namespace fw::engine
