// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/VirtualTime.h"

#include <asio/steady_timer.hpp>
#include <optional>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

// The one clock of the process: clock_gettime has no context to carry it.
std::optional<long long> virtualNanos; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

long long realNanos(clockid_t id) {
    timespec ts{};
    syscall(SYS_clock_gettime, id, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

} // namespace

// Interposes the C library's: libstdc++'s steady_clock::now() calls it.
extern "C" int clock_gettime(clockid_t id, timespec* ts) {
    if (id == CLOCK_MONOTONIC && virtualNanos) {
        ts->tv_sec = static_cast<time_t>(*virtualNanos / 1'000'000'000LL);
        ts->tv_nsec = static_cast<long>(*virtualNanos % 1'000'000'000LL);
        return 0;
    }
    return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
}

namespace fw::test {

VirtualTime::VirtualTime() {
    virtualNanos = realNanos(CLOCK_MONOTONIC);
}

VirtualTime::~VirtualTime() {
    virtualNanos.reset();
}

void VirtualTime::advance(std::chrono::nanoseconds by) {
    *virtualNanos += by.count();
}

void VirtualTime::run(asio::io_context& context, const std::function<bool()>& done,
                      const std::function<void()>& tick, std::chrono::nanoseconds step) {
    while (!done()) {
        // Asio looks at its timers when its timer descriptor fires, which it arms in real time: a
        // timer due before every other makes it re-arm at once, so the timers that virtual time has
        // passed run now.
        asio::steady_timer kick(context, asio::steady_timer::time_point{});
        kick.async_wait([](std::error_code) {});
        context.restart();
        if (context.poll() <= 1 && !done()) {
            advance(step);
            tick();
        }
    }
}

} // namespace fw::test
