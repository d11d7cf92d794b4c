// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <asio/awaitable.hpp>
#include <asio/cancellation_type.hpp>
#include <asio/this_coro.hpp>

namespace fw::engine {

// Whether the job's owner has emitted cancellation on the coroutine's slot. A driver asks after
// each wait: a wait ended by the cancellation looks like one ended by its deadline, and nothing may
// be sent once its owner has gone.
inline asio::awaitable<bool> jobCancelled() {
    const auto state = co_await asio::this_coro::cancellation_state;
    co_return state.cancelled() != asio::cancellation_type::none;
}

} // namespace fw::engine
