// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Clocks the benchmarks read: CPU of this process and the monotonic wall clock, in seconds.

#include <time.h>

namespace fw::bench {

inline double clockSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double processCpuSeconds() {
    return clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

inline double monotonicSeconds() {
    return clockSeconds(CLOCK_MONOTONIC);
}

} // namespace fw::bench
