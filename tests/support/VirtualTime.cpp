// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CommandRig.h"

#include <asio/wait_traits.hpp>

namespace {

// Where the engine's clock stands while a VirtualTime lives: Asio reads a clock through static
// functions, so the clock's state cannot be handed to the engine as an object.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::optional<fw::engine::Clock::time_point> virtualNow;

} // namespace

namespace fw::engine {

// This binary's engine clock (FERNWICK_OWN_ENGINE_CLOCK): the monotonic one but while a VirtualTime lives.
Clock::time_point Clock::now() noexcept {
    return virtualNow.value_or(std::chrono::steady_clock::now());
}

// In virtual time a due timer is one that advance() moved past, not one the reactor could sleep
// until: Asio is told to look at its timers again at once, each time it runs.
Clock::duration Clock::WaitTraits::to_wait_duration(const duration& d) {
    return virtualNow ? duration::zero() : d;
}

Clock::duration Clock::WaitTraits::to_wait_duration(const time_point& t) {
    return virtualNow ? duration::zero() : asio::wait_traits<std::chrono::steady_clock>::to_wait_duration(t);
}

} // namespace fw::engine

namespace fw::test {

VirtualTime::VirtualTime() {
    virtualNow = std::chrono::steady_clock::now(); // where the real clock stands
}

VirtualTime::~VirtualTime() {
    virtualNow.reset();
}

void VirtualTime::advance(std::chrono::nanoseconds by) {
    *virtualNow += by;
}

void VirtualTime::run(asio::io_context& context, const std::function<bool()>& done,
                      const std::function<void()>& tick) {
    while (!done()) {
        context.restart();
        if (context.poll() == 0 && !done()) { // nothing was ready, due timers included
            advance(std::chrono::milliseconds(5));
            tick();
        }
    }
}

} // namespace fw::test
