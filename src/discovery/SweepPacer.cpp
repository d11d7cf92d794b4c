// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SweepPacer.h"

#include <algorithm>

namespace fw {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

} // namespace

SweepPacer::SweepPacer(int rate, std::chrono::milliseconds answerWait, Clock::time_point start)
    : rate_(std::clamp(rate, 1, kMaxRate)), burst_(std::max<std::int64_t>(1, rate_ / 100)),
      answerWait_(std::max(answerWait, std::chrono::milliseconds(0))),
      sliceWidth_(std::max<Clock::duration>(answerWait_ / kSlices, Clock::duration(1))), start_(start),
      anchor_(start), lastSent_(start) {}

std::uint64_t SweepPacer::take(Clock::time_point now, std::uint64_t wanted) {
    if (now < anchor_ || wanted == 0) {
        return 0;
    }
    // Requests due by now, counted from the anchor. Past a burst beyond count_ the exact figure does
    // not matter, and not computing it keeps the product from overflowing after a long stall.
    const std::int64_t elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_).count();
    const bool farBehind = elapsed > (count_ + burst_) * kNsPerSecond / rate_ + kNsPerSecond;
    std::int64_t due = farBehind ? count_ + burst_ + 1 : elapsed * rate_ / kNsPerSecond + 1;
    if (due - count_ > burst_) {
        // What a stall missed is given up, not sent in one flood: one burst goes now and the
        // schedule starts again from here.
        anchor_ = now;
        count_ = 1 - burst_;
        due = 1;
    }
    const auto n = std::min(static_cast<std::uint64_t>(std::max<std::int64_t>(0, due - count_)), wanted);
    if (n == 0) {
        return 0;
    }
    count_ += static_cast<std::int64_t>(n);
    sent_ += n;
    lastSent_ = now;
    // Whole seconds move the anchor without changing any due time, and keep count_ small.
    const std::int64_t seconds = count_ / rate_;
    anchor_ += std::chrono::seconds(seconds);
    count_ -= seconds * rate_;

    Slice& slice = slices_[static_cast<std::size_t>(sliceOf(now)) % kSlices];
    if (slice.index != sliceOf(now)) {
        slice = Slice{sliceOf(now), 0};
    }
    slice.count += n;
    return n;
}

SweepPacer::Clock::time_point SweepPacer::nextSend() const {
    // Request count_ is due count_ / rate seconds after the anchor, rounded up to the clock's tick.
    const std::int64_t ns = (count_ * kNsPerSecond + rate_ - 1) / rate_;
    return anchor_ + std::chrono::ceil<Clock::duration>(std::chrono::nanoseconds(ns));
}

std::uint64_t SweepPacer::inFlight(Clock::time_point now) const {
    const std::int64_t current = sliceOf(now);
    std::uint64_t n = 0;
    for (const Slice& s : slices_) {
        n += s.index > current - static_cast<std::int64_t>(kSlices) && s.index <= current ? s.count : 0;
    }
    return n;
}

std::int64_t SweepPacer::sliceOf(Clock::time_point t) const {
    return t < start_ ? -1 : (t - start_) / sliceWidth_;
}

} // namespace fw
