// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SearchDriver.h"

#include "common/RecordHeader.h"

#include <algorithm>
#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/post.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {
namespace {

// Replies taken one after another before the other jobs on the engine get a turn, so that a flood
// of replies cannot hold up an upload or a cancel.
constexpr int kReadBatch = 256;
// A sweep sends a batch at most this often; the pacer allows the 10 ms it would catch up, so the
// rate holds while the engine wakes 200 times a second rather than once per request.
constexpr std::chrono::milliseconds kSweepBatchGap{5};
// Route look-ups of addresses not sent to (about 15 us each) in one batch at most, so that a range
// without a route cannot hold the engine for seconds.
constexpr std::uint64_t kSkipsPerBatch = 1024;

} // namespace

struct SearchDriver::State final : DiscoverySearch::Listener {
    State(EndpointFactory& e, RowSink s) : endpoints(e), sink(std::move(s)), search(*this) {}

    void rowListed(const DeviceRow& row) override {
        if (collected != nullptr) {
            collected->push_back(row);
        }
        if (sink) {
            sink(row);
        }
        if (stopWhen && wait != nullptr && stopWhen(row)) {
            cutShort = true;
            wait->cancel();
        }
    }

    Started start(const std::shared_ptr<State>& self, const AdapterTable& adapters, bool broadcast = true,
                  std::optional<DiscoverySearch::Keying> keying = std::nullopt);
    void close() {
        cutShort = true;
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
    Timer* wait = nullptr;
    bool cutShort = false; // stopWhen held: a sweep sends no more
};

namespace {

using State = SearchDriver::State;

asio::awaitable<void> reader(std::shared_ptr<State> s, std::shared_ptr<Endpoint> endpoint) {
    std::array<std::uint8_t, kRecordBufferBytes> buffer{};
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

SearchDriver::Started State::start(const std::shared_ptr<State>& self, const AdapterTable& adapters,
                                   bool broadcast, std::optional<DiscoverySearch::Keying> keying) {
    Started started;
    started.sequence = endpoints.recordNumbers().next();
    search.begin(started.sequence, keying);
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
        if (broadcast && !adapters[i].tunnel &&
            endpoint->send(UdpAddress{Ipv4::broadcast(), kDevicePort}, search.requestFor(adapters[i]))) {
            ++started.requestsSent; // a failed send is not reported
        }
    }
    return started;
}

namespace {

// The sweep's requests, paced, each from the endpoint of the adapter its route leaves by. Nothing
// is kept per address: the replies are told apart by the search's sequence as the broadcast's are.
// `routedTo[i]`: some address's route left by adapter i, whether or not it could send there.
asio::awaitable<SearchDriver::Swept> sweepOn(std::shared_ptr<State> s, const AdapterTable& adapters,
                                             SearchDriver::Sweep& sweep, SweepPacer& pacer, Timer& timer,
                                             std::vector<bool>& routedTo) {
    SearchDriver::Swept swept;
    std::vector<DiscoveryRequest> requests = s->search.requestsFor(adapters);
    sweep.targets.rewind();
    while (!s->cutShort && sweep.targets.left() > 0) {
        timer.expires_at(std::max(pacer.nextSend(), Clock::now() + kSweepBatchGap));
        std::error_code ignored;
        co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        if (s->cutShort) {
            break; // stopWhen held, or close()
        }
        // An address without a usable route costs no slot of the pace.
        std::uint64_t skips = 0;
        for (std::uint64_t n = pacer.take(Clock::now(), sweep.targets.left());
             n > 0 && skips < kSkipsPerBatch;) {
            const auto to = sweep.targets.next();
            if (!to) {
                break;
            }
            const auto source = s->endpoints.routeSource(*to);
            if (!source) {
                ++swept.noRoute;
                ++skips;
                continue;
            }
            // The route's source may be any of the adapter's addresses, a further one included.
            const auto adapter = std::find_if(adapters.begin(), adapters.end(), [&](const AdapterEntry& e) {
                const auto all = addressesOf(e);
                return std::any_of(all.begin(), all.end(),
                                   [&](const AdapterAddress& a) { return a.ip == source; });
            });
            const auto i = static_cast<std::size_t>(adapter - adapters.begin());
            if (adapter != adapters.end()) {
                routedTo[i] = true;
            }
            if (adapter == adapters.end() || i >= s->sockets.size() || !s->sockets[i] ||
                !s->sockets[i]->isOpen()) {
                ++swept.notSearched;
                ++skips;
                continue;
            }
            if (s->sockets[i]->send(UdpAddress{*to, kDevicePort}, requests[i])) {
                ++swept.sent;
            } else {
                ++swept.unsent;
            }
            --n;
        }
    }
    co_return swept;
}

asio::awaitable<SearchDriver::Summary> onceOn(std::shared_ptr<State> s, SearchDriver::Request request) {
    const AdapterTable& adapters = request.adapters;
    const std::chrono::milliseconds wait = request.wait;
    std::optional<SearchDriver::Sweep>& sweep = request.sweep;
    SearchDriver::Summary summary;
    const auto begun = Clock::now();
    Timer timer(s->endpoints.executor(), wait);
    s->collected = &summary.rows;
    s->stopWhen = std::move(request.stopWhen);
    s->wait = &timer;
    s->cutShort = false;
    // The readers list nothing before this waits.
    summary.started = s->start(s, adapters, !sweep || sweep->broadcast, request.keying);
    std::error_code ignored;
    if (sweep) {
        SweepPacer pacer(sweep->rate, wait, begun);
        std::vector<bool> routedTo(adapters.size(), false);
        summary.swept = co_await sweepOn(s, adapters, *sweep, pacer, timer, routedTo);
        if (!sweep->broadcast) {
            // Only the adapters the sweep sent by, or would have, are this search's: another
            // program on port 4001 elsewhere takes nothing from it.
            std::erase_if(summary.started.unbindable, [&](const SearchDriver::BindFailure& f) {
                const auto at = std::find(adapters.begin(), adapters.end(), f.adapter);
                return at == adapters.end() || !routedTo[static_cast<std::size_t>(at - adapters.begin())];
            });
        }
        // The wait counts from the last request, and from the broadcast if there was one.
        const auto end = std::max(summary.swept.sent > 0 ? pacer.quietAt() : begun,
                                  sweep->broadcast ? begun + wait : begun);
        timer.expires_at(s->cutShort ? Clock::now() : end);
    }
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
    s->wait = nullptr;
    s->stopWhen = nullptr;
    s->collected = nullptr;
    s->close();
    summary.replyCount = s->search.replyCount();
    co_return summary;
}

} // namespace

SearchDriver::SearchDriver(EndpointFactory& endpoints, RowSink sink)
    : state_(std::make_shared<State>(endpoints, std::move(sink))) {}

SearchDriver::~SearchDriver() {
    state_->sink = nullptr;
    close();
}

SearchDriver::Started SearchDriver::start(const AdapterTable& adapters) {
    return state_->start(state_, adapters, true, DiscoverySearch::Keying::Sender);
}

void SearchDriver::close() {
    state_->close();
}

asio::awaitable<SearchDriver::Summary> SearchDriver::once(Request request) {
    return onceOn(state_, std::move(request));
}

} // namespace fw::engine
