// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace fw {

// The pace of a routed search: request k (counting from 0) may go k / rate seconds after the start,
// computed exactly so that no rounding drifts over millions of requests. A driver that wakes late
// may catch up by at most a burst of 10 ms worth of requests; a longer stall is not made up, so a
// suspended process never floods the network when it resumes.
//
// The answers are not tracked per address: every request of a sweep carries one search sequence and
// the search bookkeeping matches replies by it. What the pacer keeps is a fixed ring of per-slice
// counts over the answer wait, which says how many requests may still be answered, and when the last
// one's wait is over.
class SweepPacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultRate = 2000;
    static constexpr int kMaxRate = 1'000'000;

    // rate: requests a second, held to 1..kMaxRate. answerWait: how long after its request an answer
    // is still awaited.
    SweepPacer(int rate, std::chrono::milliseconds answerWait, Clock::time_point start);

    // How many requests may go at `now`, at most `wanted` (the targets left); they are counted as
    // sent at `now`.
    std::uint64_t take(Clock::time_point now, std::uint64_t wanted);

    // When the next request may go: the time to wake at while requests are left.
    Clock::time_point nextSend() const;
    // When the answer wait of the last request sent ends: the sweep's end once none is left.
    Clock::time_point quietAt() const { return lastSent_ + answerWait_; }
    // Requests sent within the answer wait before `now` (to within 1/16 of it).
    std::uint64_t inFlight(Clock::time_point now) const;
    std::uint64_t sent() const { return sent_; }

private:
    static constexpr std::size_t kSlices = 16;
    struct Slice {
        std::int64_t index = -1;
        std::uint64_t count = 0;
    };

    std::int64_t sliceOf(Clock::time_point t) const;

    std::int64_t rate_;
    std::int64_t burst_;
    Clock::duration answerWait_;
    Clock::duration sliceWidth_;
    Clock::time_point start_;
    // Request i after the anchor is due at anchor_ + i / rate; count_ of them are used. The anchor
    // moves on by whole seconds, and to the present after a stall (count_ is then 1 - burst_).
    Clock::time_point anchor_;
    std::int64_t count_ = 0;
    std::uint64_t sent_ = 0;
    Clock::time_point lastSent_;
    std::array<Slice, kSlices> slices_{};
};

} // namespace fw
