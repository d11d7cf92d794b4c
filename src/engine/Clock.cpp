// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Clock.h"

#include <asio/wait_traits.hpp>

namespace fw::engine {

using Steady = asio::wait_traits<std::chrono::steady_clock>;

Clock::time_point Clock::now() noexcept {
    return std::chrono::steady_clock::now();
}

Clock::duration Clock::WaitTraits::to_wait_duration(const duration& d) {
    return Steady::to_wait_duration(d);
}

Clock::duration Clock::WaitTraits::to_wait_duration(const time_point& t) {
    return Steady::to_wait_duration(t);
}

} // namespace fw::engine
