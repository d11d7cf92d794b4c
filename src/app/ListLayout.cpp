// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListLayout.h"

#include <limits>

namespace fw::list_layout {

std::optional<std::int16_t> widthUnit(int listWidthTwips) noexcept {
    // Integer arithmetic so the half-to-even rule is exact: W/6 has a half exactly when W % 6 == 3.
    const long long width = listWidthTwips;
    long long quotient = width / 6;
    long long remainder = width % 6;
    if (remainder < 0) {
        quotient -= 1;
        remainder += 6;
    }
    if (remainder > 3 || (remainder == 3 && (quotient % 2 != 0))) {
        quotient += 1;
    }
    long long w = quotient - 20;
    if (w <= 0) {
        return std::nullopt;
    }
    if (w > std::numeric_limits<std::int16_t>::max()) {
        w = std::numeric_limits<std::int16_t>::max();
    }
    return static_cast<std::int16_t>(w);
}

std::array<int, kColumnCount> columnWidths(std::int16_t w) noexcept {
    const int unit = w;
    return {unit, unit, unit, unit - 100, unit - 100, unit + 200, 0};
}

} // namespace fw::list_layout
