// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace fw {

// Geometry of the four boxes and three dots, in pixels, from the font's metrics.
struct IpControlLayout {
    struct Rect {
        double left = 0;
        double top = 0;
        double width = 0;
        double height = 0;
    };
    struct Point {
        double x = 0;
        double y = 0;
    };
    static constexpr int kMargin = 5; // left of box 0 (and right of box 3 at the minimum width)
    static constexpr int kGap = 10;   // box pitch is boxWidth + kGap
    static constexpr int kDotSize = 2;

    int minWidth = 0;
    int minHeight = 0;
    double boxWidth = 0;
    std::array<Rect, 4> boxes{};
    std::array<Point, 3> dots{}; // top-left corner of each 2x2 dot

    // wideText: width of "XXX"; lineHeight: height of "X"; width/height: the control's drawing area.
    static IpControlLayout compute(int wideText, int lineHeight, int width, int height);
};

// The box a click at x falls into: columns are boxWidth + 10 pixels wide from the left edge, so a dot
// belongs to the box on its left; clicks left of box 0 or right of box 3 go to the nearest box.
int boxAtColumn(double x, double boxWidth);

} // namespace fw
