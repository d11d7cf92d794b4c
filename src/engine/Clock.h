// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <asio/basic_waitable_timer.hpp>
#include <chrono>

namespace fw::engine {

// The engine's time: what its timers wait on and what its jobs and the commands read for their
// deadlines. Asio's timers ask a clock type's static functions, so a program picks the clock when
// it is linked: the monotonic clock (Clock.cpp) in the programs, a clock that the test moves on in
// the command tests. Its time points are steady_clock's, the type the cores take times as.
struct Clock {
    using duration = std::chrono::steady_clock::duration;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::steady_clock::time_point;
    static constexpr bool is_steady = true;

    static time_point now() noexcept;

    // How long Asio's reactor sleeps before it looks at its timers again (Asio's wait_traits).
    struct WaitTraits {
        static duration to_wait_duration(const duration& d);
        static duration to_wait_duration(const time_point& t);
    };
};

using Timer = asio::basic_waitable_timer<Clock, Clock::WaitTraits>;

} // namespace fw::engine
