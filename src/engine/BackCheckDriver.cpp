// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/BackCheckDriver.h"

#include "engine/SearchDriver.h"
#include "upgrade/core/RolloutBackCheck.h"

#include <algorithm>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {

struct BackCheckDriver::State {
    explicit State(EndpointFactory& e) : endpoints(e), pause(e.executor()) {}

    EndpointFactory& endpoints;
    asio::steady_timer pause;
    SearchDriver* search = nullptr; // the search running now
    bool cancelled = false;
};

namespace {

using State = BackCheckDriver::State;

asio::awaitable<std::optional<BackCheckDriver::Outcome>> runOn(std::shared_ptr<State> s,
                                                               AdapterTable adapters, MacAddress mac,
                                                               bool restarts, BackCheckDriver::Timing timing,
                                                               std::optional<SearchDriver::Sweep> sweep) {
    RolloutBackCheck check(restarts, timing.backTimeout);
    const auto since = Clock::now();
    while (!s->cancelled) {
        SearchDriver search(s->endpoints, {});
        s->search = &search;
        const auto summary = co_await search.once(
            adapters, timing.searchWait, [mac](const DeviceRow& r) { return r.mac == mac; }, sweep);
        s->search = nullptr;
        if (s->cancelled) {
            break;
        }
        const auto back = std::find_if(summary.rows.begin(), summary.rows.end(),
                                       [&](const DeviceRow& r) { return r.mac == mac; });
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
        // A search that could not be sent (port 4001 held meanwhile) says nothing about the device.
        const bool unsent =
            summary.started.requestsSent == 0 && summary.swept.sent == 0 && elapsed < timing.backTimeout;
        const auto state = unsent ? std::nullopt : check.searched(back != summary.rows.end(), elapsed);
        if (state) {
            BackCheckDriver::Outcome outcome{*state, std::nullopt, elapsed};
            if (*state == RolloutState::Done && back != summary.rows.end()) {
                outcome.row = *back;
            }
            co_return outcome;
        }
        s->pause.expires_after(timing.pause);
        std::error_code ignored;
        co_await s->pause.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
    }
    co_return std::nullopt;
}

} // namespace

BackCheckDriver::BackCheckDriver(EndpointFactory& endpoints) : state_(std::make_shared<State>(endpoints)) {}

BackCheckDriver::~BackCheckDriver() {
    cancel();
}

asio::awaitable<std::optional<BackCheckDriver::Outcome>>
BackCheckDriver::run(AdapterTable adapters, MacAddress mac, bool restarts, Timing timing,
                     std::optional<SearchDriver::Sweep> sweep) {
    return runOn(state_, std::move(adapters), mac, restarts, timing, std::move(sweep));
}

void BackCheckDriver::cancel() {
    state_->cancelled = true;
    if (state_->search != nullptr) {
        state_->search->close();
    }
    state_->pause.cancel();
}

} // namespace fw::engine
