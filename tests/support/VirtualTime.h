// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Virtual time for whole commands on the engine: the engine and the commands read
// std::chrono::steady_clock and wait on asio::steady_timer, so this test binary replaces the
// monotonic clock (clock_gettime(CLOCK_MONOTONIC), which both read) while a VirtualTime lives.
// Outside one, the real clock. A 13 s upload start sequence then takes milliseconds.

#include <asio/io_context.hpp>
#include <chrono>
#include <functional>

namespace fw::test {

class VirtualTime {
public:
    VirtualTime();  // starts where the real clock stands
    ~VirtualTime(); // the real clock again
    VirtualTime(const VirtualTime&) = delete;
    VirtualTime& operator=(const VirtualTime&) = delete;

    void advance(std::chrono::nanoseconds by);

    // Runs what is ready on the context; when nothing is, time moves on by `step`, then `tick` runs
    // (a test's scheduled events). Until done() holds.
    void run(asio::io_context& context, const std::function<bool()>& done, const std::function<void()>& tick,
             std::chrono::nanoseconds step = std::chrono::milliseconds(5));
};

} // namespace fw::test
