// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace fw::cli {

// How often a running upload's or rollout's progress is drawn again: often enough to look live,
// seldom enough to cost nothing.
inline constexpr std::chrono::milliseconds kProgressRefresh{200};

// How far an upload is: bytes the device has acknowledged, of the image's size, and the seconds
// since the transfer proper (the second write request) began.
struct UploadProgress {
    std::uint64_t doneBytes = 0;
    std::uint64_t totalBytes = 0;
    double seconds = 0;
    int retransmissions = 0; // packets the upload sent again
    int timeouts = 0;        // waits that ended without a reply
};

int percentOf(const UploadProgress& p); // 0..100 (0 for an empty image)
double rateOf(const UploadProgress& p); // bytes per second; 0 before any second has passed

// Seconds from `start` until now on the engine's clock, as the reports and progress lines count them.
double secondsSince(std::chrono::steady_clock::time_point start);
// "2.5": seconds to a tenth, as the reports' SECONDS columns show them.
std::string tenthsText(double seconds);
// "2.5 s": a duration as the messages give it.
std::string secondsText(std::chrono::duration<double> duration);

// "1.5 KiB", "2.0 MiB", "512 B"
std::string formatBytes(std::uint64_t bytes);
// "0:05", "1:02:03"; "--:--" when unknown
std::string formatEta(double seconds);

// One terminal line, at most `width` columns, rewritten in place:
// [########............]  42%  1.2 MiB/2.9 MiB  350.0 KiB/s  ETA 0:05  retx 3  t/o 1
std::string progressBar(const UploadProgress& p, int width);
// A line for a log or a pipe: "upload 40%: 1228800 of 2900000 bytes, 350.0 KiB/s, ETA 0:05"
std::string progressLine(const UploadProgress& p);

} // namespace fw::cli
