// SPDX-License-Identifier: GPL-3.0-or-later
#include "ipcontrol/IpControlLayout.h"

#include <algorithm>
#include <cmath>

namespace fw {

IpControlLayout IpControlLayout::compute(int wideText, int lineHeight, int width, int height) {
    IpControlLayout l;
    l.minWidth = 4 * (wideText + kGap) + kGap;
    l.minHeight = lineHeight + 6;
    const double innerWidth = std::max(width, l.minWidth);
    const double innerHeight = std::max(height, l.minHeight);
    l.boxWidth = innerWidth / 4 - kGap;
    for (std::size_t i = 0; i < l.boxes.size(); ++i) {
        Rect& r = l.boxes[i];
        r.left = (l.boxWidth + kGap) * static_cast<double>(i) + kMargin;
        r.width = l.boxWidth;
        r.height = lineHeight;
        r.top = (innerHeight - r.height) / 2;
    }
    for (std::size_t i = 0; i < l.dots.size(); ++i) {
        const Rect& box = l.boxes[i];
        l.dots[i] = Point{box.left + box.width + 2, box.top + box.height - 2};
    }
    return l;
}

int boxAtColumn(double x, double boxWidth) {
    const double column = std::floor(x / (boxWidth + IpControlLayout::kGap));
    return static_cast<int>(std::clamp(column, 0.0, 3.0));
}

} // namespace fw
