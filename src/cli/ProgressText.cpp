// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressText.h"

#include "engine/Clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace fw::cli {
namespace {

std::string printf1(const char* format, double value, const char* unit) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value, unit);
    return buffer;
}

std::string rateText(const UploadProgress& p) {
    const double r = rateOf(p);
    return r > 0 ? formatBytes(static_cast<std::uint64_t>(r)) + "/s" : "--- B/s";
}

double etaOf(const UploadProgress& p) {
    const double r = rateOf(p);
    if (r <= 0 || p.doneBytes > p.totalBytes) {
        return -1;
    }
    return static_cast<double>(p.totalBytes - p.doneBytes) / r;
}

} // namespace

int percentOf(const UploadProgress& p) {
    if (p.totalBytes == 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(100, p.doneBytes * 100 / p.totalBytes));
}

double rateOf(const UploadProgress& p) {
    return p.seconds > 0 ? static_cast<double>(p.doneBytes) / p.seconds : 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(engine::Clock::now() - start).count();
}

std::string tenthsText(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", seconds);
    return text.data();
}

std::string secondsText(std::chrono::duration<double> duration) {
    return tenthsText(duration.count()) + " s";
}

std::string formatBytes(std::uint64_t bytes) {
    constexpr const char* kUnits[] = {"KiB", "MiB", "GiB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    double v = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (v >= 1024 && unit + 1 < std::size(kUnits)) {
        v /= 1024;
        ++unit;
    }
    return printf1("%.1f %s", v, kUnits[unit]);
}

std::string formatEta(double seconds) {
    if (!(seconds >= 0) || !std::isfinite(seconds) || seconds > 359999) {
        return "--:--";
    }
    const auto s = static_cast<long>(std::lround(seconds));
    char buffer[32];
    if (s >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    }
    return buffer;
}

std::string progressBar(const UploadProgress& p, int width) {
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3d%%", percentOf(p));
    const std::string tail = std::string("  ") + pct + "  " + formatBytes(p.doneBytes) + "/" +
                             formatBytes(p.totalBytes) + "  " + rateText(p) + "  ETA " + formatEta(etaOf(p)) +
                             "  retx " + std::to_string(p.retransmissions) + "  t/o " +
                             std::to_string(p.timeouts);
    const int barWidth = std::min(40, width - static_cast<int>(tail.size()) - 2);
    if (barWidth < 5) {
        // Narrow (several uploads share the line): the percent and what went wrong, no bar.
        const std::string compact = std::string(pct) + " retx " + std::to_string(p.retransmissions) +
                                    " t/o " + std::to_string(p.timeouts);
        return (static_cast<int>(compact.size()) <= width ? compact : std::string(pct))
            .substr(0, static_cast<std::size_t>(std::max(0, width)));
    }
    const int filled = percentOf(p) * barWidth / 100;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(barWidth - filled), '.') + "]" + tail;
}

std::string progressLine(const UploadProgress& p) {
    return "upload " + std::to_string(percentOf(p)) + "%: " + std::to_string(p.doneBytes) + " of " +
           std::to_string(p.totalBytes) + " bytes, " + rateText(p) + ", ETA " + formatEta(etaOf(p));
}

} // namespace fw::cli
