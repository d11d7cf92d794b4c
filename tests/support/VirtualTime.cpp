// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CommandRig.h"

#include <asio/steady_timer.hpp>
#include <sys/syscall.h>
#include <time.h>

namespace {

constexpr long long kNano = 1'000'000'000;
// The one clock of the process: clock_gettime has no context to carry it.
std::optional<long long> virtualNanos; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

} // namespace

// Interposes the C library's, which libstdc++'s steady_clock::now() calls.
extern "C" int clock_gettime(clockid_t id, timespec* ts) {
    if (id != CLOCK_MONOTONIC || !virtualNanos) {
        return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
    }
    *ts = {static_cast<time_t>(*virtualNanos / kNano), static_cast<long>(*virtualNanos % kNano)};
    return 0;
}

namespace fw::test {

VirtualTime::VirtualTime() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch(); // where the real clock stands
    virtualNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

VirtualTime::~VirtualTime() {
    virtualNanos.reset();
}

void VirtualTime::advance(std::chrono::nanoseconds by) {
    *virtualNanos += by.count();
}

void VirtualTime::run(asio::io_context& context, const std::function<bool()>& done,
                      const std::function<void()>& tick) {
    while (!done()) {
        // Asio looks at its timers when its timer descriptor fires, which it arms in real time; a
        // timer due before all others makes it re-arm at once, so those virtual time has passed run.
        asio::steady_timer kick(context, asio::steady_timer::time_point{});
        kick.async_wait([](std::error_code) {});
        context.restart();
        if (context.poll() <= 1 && !done()) {
            advance(std::chrono::milliseconds(5));
            tick();
        }
    }
}

} // namespace fw::test
