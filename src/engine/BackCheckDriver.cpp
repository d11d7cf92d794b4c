// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/BackCheckDriver.h"

#include "engine/SearchDriver.h"
#include "upgrade/RolloutBackCheck.h"

#include <algorithm>
#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {

struct BackCheckDriver::State {
    explicit State(EndpointFactory& e) : endpoints(e), pause(e.executor()) {}

    EndpointFactory& endpoints;
    Timer pause;
    asio::cancellation_signal search; // ends the search running now
    bool cancelled = false;
};

namespace {

using State = BackCheckDriver::State;

asio::awaitable<bool> roundsOn(std::shared_ptr<State> s, BackCheckDriver::Round round,
                               BackCheckDriver::Judge judge, std::chrono::milliseconds pause) {
    while (!s->cancelled) {
        SearchDriver search(s->endpoints);
        const SearchDriver::Observer none;
        const auto summary =
            co_await asio::co_spawn(s->endpoints.executor(), search.run(round(), none),
                                    asio::bind_cancellation_slot(s->search.slot(), asio::use_awaitable));
        if (s->cancelled) {
            break;
        }
        if (judge(summary)) {
            co_return true;
        }
        if (pause > std::chrono::milliseconds::zero()) {
            s->pause.expires_after(pause);
            std::error_code ignored;
            co_await s->pause.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
    }
    co_return false;
}

asio::awaitable<std::optional<BackCheckDriver::Outcome>>
restartedOn(std::shared_ptr<State> s, AdapterTable adapters, MacAddress mac, bool restarts,
            BackCheckDriver::Timing timing, std::optional<SearchJob::Sweep> sweep) {
    RolloutBackCheck check(restarts, timing.backTimeout);
    const auto since = Clock::now();
    const auto isDevice = [mac](const DeviceRow& r) {
        return r.mac == mac;
    };
    std::optional<BackCheckDriver::Outcome> outcome;
    const auto round = [&] {
        return SearchJob::Request{adapters, timing.searchWait, isDevice, DiscoverySearch::Keying::Sender,
                                  sweep};
    };
    const auto judge = [&](const SearchJob::Outcome& summary) {
        const auto back = std::find_if(summary.rows.begin(), summary.rows.end(), isDevice);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
        // A search that could not be sent (port 4001 held meanwhile) says nothing about the device.
        const bool unsent =
            summary.started.requestsSent == 0 && summary.swept.sent == 0 && elapsed < timing.backTimeout;
        const auto state = unsent ? std::nullopt : check.searched(back != summary.rows.end(), elapsed);
        if (state) {
            outcome = BackCheckDriver::Outcome{*state, std::nullopt, elapsed};
            if (*state == RolloutState::Done && back != summary.rows.end()) {
                outcome->row = *back;
            }
        }
        return state.has_value();
    };
    co_await roundsOn(s, round, judge, timing.pause);
    co_return outcome;
}

} // namespace

BackCheckDriver::BackCheckDriver(EndpointFactory& endpoints) : state_(std::make_shared<State>(endpoints)) {}

BackCheckDriver::~BackCheckDriver() {
    cancel();
}

asio::awaitable<bool> BackCheckDriver::run(Round round, Judge judge, std::chrono::milliseconds pause) {
    return roundsOn(state_, std::move(round), std::move(judge), pause);
}

asio::awaitable<std::optional<BackCheckDriver::Outcome>>
BackCheckDriver::run(AdapterTable adapters, MacAddress mac, bool restarts, Timing timing,
                     std::optional<SearchJob::Sweep> sweep) {
    return restartedOn(state_, std::move(adapters), mac, restarts, timing, std::move(sweep));
}

void BackCheckDriver::cancel() {
    state_->cancelled = true;
    state_->search.emit(asio::cancellation_type::terminal);
    state_->pause.cancel();
}

} // namespace fw::engine
