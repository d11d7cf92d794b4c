// SPDX-License-Identifier: GPL-3.0-or-later
#include "ipcontrol/NumericValue.h"

#include <algorithm>

namespace fw {
namespace {

constexpr std::int64_t kSaturation = 1'000'000'000'000; // far beyond 255, far below int64 overflow

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

std::int64_t numericValue(std::string_view text) {
    std::int64_t value = 0;
    bool negative = false;
    bool signSeen = false;
    bool digitSeen = false;
    for (const char c : text) {
        if (isBlank(c)) {
            continue;
        }
        if (!signSeen && !digitSeen && (c == '-' || c == '+')) {
            signSeen = true;
            negative = c == '-';
            continue;
        }
        if (c < '0' || c > '9') {
            break;
        }
        digitSeen = true;
        value = std::min(value * 10 + (c - '0'), kSaturation);
    }
    return negative ? -value : value;
}

} // namespace fw
