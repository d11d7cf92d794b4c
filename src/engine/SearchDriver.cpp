// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SearchDriver.h"

#include "common/RecordHeader.h"
#include "engine/JobCancelled.h"

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

struct SearchDriver::State {
    // The run going on: its locals that the readers touch.
    struct Current {
        const Observer& observer;
        SearchJob::StopWhen stopWhen;
        std::vector<DeviceRow>& rows;
        Timer& wait;
        bool cutShort = false; // stopWhen held: a sweep sends no more
    };

    explicit State(EndpointFactory& e) : endpoints(e) {}

    void listed(const DeviceRow& row) {
        if (current == nullptr) {
            return; // between two of the window's searches
        }
        Current& c = *current;
        c.rows.push_back(row);
        if (c.observer) {
            c.observer(row);
        }
        if (c.stopWhen && c.stopWhen(row)) {
            c.cutShort = true;
            c.wait.cancel();
        }
    }

    SearchJob::Started start(const std::shared_ptr<State>& self, const AdapterTable& adapters, bool broadcast,
                             DiscoverySearch::Keying keying);
    void close() {
        for (const auto& endpoint : sockets) {
            if (endpoint) {
                endpoint->close();
            }
        }
        if (current != nullptr) {
            current->cutShort = true;
            current->wait.cancel();
        }
    }

    EndpointFactory& endpoints;
    DiscoverySearch search;
    std::vector<std::shared_ptr<Endpoint>> sockets; // i belongs to adapter i; shared with its reader
    Current* current = nullptr;
    std::uint64_t runs = 0; // run()s begun: a cancelled window search closes the sockets unless another began
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
        if (const auto heard = s->search.onDatagram(got->bytes, got->from.ip, endpoint->localAddress());
            heard.row) {
            s->listed(*heard.row);
        }
        if (++batch == kReadBatch) {
            batch = 0;
            co_await asio::post(co_await asio::this_coro::executor, asio::use_awaitable);
        }
    }
}

} // namespace

SearchJob::Started State::start(const std::shared_ptr<State>& self, const AdapterTable& adapters,
                                bool broadcast, DiscoverySearch::Keying keying) {
    SearchJob::Started started;
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
                started.unbindable.push_back(bound.error());
                started.unbindable.back().adapter = adapters[i];
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
asio::awaitable<SearchJob::Swept> sweepOn(std::shared_ptr<State> s, const AdapterTable& adapters,
                                          SearchJob::Sweep& sweep, SweepPacer& pacer, Timer& timer,
                                          std::vector<bool>& routedTo) {
    SearchJob::Swept swept;
    std::vector<DiscoveryRequest> requests = s->search.requestsFor(adapters);
    sweep.targets.rewind();
    while (!s->current->cutShort && sweep.targets.left() > 0) {
        timer.expires_at(std::max(pacer.nextSend(), Clock::now() + kSweepBatchGap));
        std::error_code ignored;
        co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        if (s->current->cutShort || co_await jobCancelled()) {
            break; // stopWhen held, or the search's owner has gone
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

asio::awaitable<SearchJob::Outcome> runOn(std::shared_ptr<State> s, SearchJob::Request request,
                                          const SearchDriver::Observer& observer) {
    const AdapterTable& adapters = request.adapters;
    std::optional<SearchJob::Sweep>& sweep = request.sweep;
    SearchJob::Outcome outcome;
    if (co_await jobCancelled()) {
        co_return outcome; // its owner went before it began: nothing is sent
    }
    const auto begun = Clock::now();
    const auto wait = request.wait.value_or(std::chrono::milliseconds::zero());
    Timer timer(s->endpoints.executor(), request.wait ? begun + wait : Clock::time_point::max());
    State::Current current{observer, std::move(request.stopWhen), outcome.rows, timer};
    s->current = &current;
    // The frame may be destroyed while it waits (the engine goes with the window's search still
    // on): the readers and the driver's close() must not reach its locals after that.
    struct Forget {
        State& state;
        const State::Current* current;
        ~Forget() {
            if (state.current == current) {
                state.current = nullptr;
            }
        }
    } const forget{*s, &current};
    const std::uint64_t run = ++s->runs;
    // The readers list nothing before this waits.
    outcome.started = s->start(s, adapters, !sweep || sweep->broadcast, request.keying);
    if (observer) {
        observer(outcome.started);
    }
    if (sweep) {
        SweepPacer pacer(sweep->rate, wait, begun);
        std::vector<bool> routedTo(adapters.size(), false);
        outcome.swept = co_await sweepOn(s, adapters, *sweep, pacer, timer, routedTo);
        if (!sweep->broadcast) {
            // Only the adapters the sweep sent by, or would have, are this search's: another
            // program on port 4001 elsewhere takes nothing from it.
            std::erase_if(outcome.started.unbindable, [&](const SocketError& f) {
                const auto at = std::find(adapters.begin(), adapters.end(), f.adapter);
                return at == adapters.end() || !routedTo[static_cast<std::size_t>(at - adapters.begin())];
            });
        }
        // The wait counts from the last request, and from the broadcast if there was one.
        timer.expires_at(std::max(outcome.swept.sent > 0 ? pacer.quietAt() : begun,
                                  sweep->broadcast ? begun + wait : begun));
    }
    // A wait cancelled before it began would not end (and an operation begun then would throw).
    if (!current.cutShort && !co_await jobCancelled()) {
        std::error_code ignored;
        co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
    }
    if (s->current == &current) {
        s->current = nullptr;
        outcome.replyCount = s->search.replyCount();
    }
    if (request.wait) {
        s->close();
    } else {
        // The window's search, cancelled: its next search, begun at once, keeps endpoint 0.
        asio::post(s->endpoints.executor(), [s, run] {
            if (s->runs == run) {
                s->close();
            }
        });
    }
    co_return outcome;
}

} // namespace

SearchDriver::SearchDriver(EndpointFactory& endpoints) : state_(std::make_shared<State>(endpoints)) {}

SearchDriver::~SearchDriver() {
    state_->close();
}

asio::awaitable<SearchJob::Outcome> SearchDriver::run(SearchJob::Request request, const Observer& observer) {
    return runOn(state_, std::move(request), observer);
}

} // namespace fw::engine
