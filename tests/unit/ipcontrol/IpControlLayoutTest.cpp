#include "ipcontrol/core/IpControlLayout.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(IpControlLayout, MinimumSizeAndGeometryFromTheFont) {
    // "XXX" 24 px wide, "X" 15 px high.
    const auto l = IpControlLayout::compute(24, 15, 146, 21);
    EXPECT_EQ(l.minWidth, 146);
    EXPECT_EQ(l.minHeight, 21);
    EXPECT_DOUBLE_EQ(l.boxWidth, 26.5);
    const double lefts[] = {5, 41.5, 78, 114.5};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(l.boxes[i].left, lefts[i]);
        EXPECT_DOUBLE_EQ(l.boxes[i].width, 26.5);
        EXPECT_DOUBLE_EQ(l.boxes[i].height, 15);
        EXPECT_DOUBLE_EQ(l.boxes[i].top, 3);
    }
    // 5-pixel margin at the right end too.
    EXPECT_DOUBLE_EQ(146 - (l.boxes[3].left + l.boxes[3].width), 5);
    // Each dot 2 px right of its box, its top 2 px above the box's bottom line.
    EXPECT_DOUBLE_EQ(l.dots[0].x, 33.5);
    EXPECT_DOUBLE_EQ(l.dots[0].y, 16);
    EXPECT_DOUBLE_EQ(l.dots[2].x, 78 + 26.5 + 2);
}

TEST(IpControlLayout, WiderAndTallerControlsSpreadAndCentre) {
    const auto l = IpControlLayout::compute(24, 15, 300, 40);
    EXPECT_DOUBLE_EQ(l.boxWidth, 65);
    EXPECT_DOUBLE_EQ(l.boxes[3].left, 3 * 75 + 5);
    EXPECT_DOUBLE_EQ(l.boxes[0].top, 12.5);
}

TEST(IpControlLayout, ClickColumns) {
    const double boxWidth = 26.5; // columns 36.5 px wide
    const std::vector<std::pair<double, int>> cases{
        {-3, 0},  {0, 0},   {2, 0}, {33.5, 0} /* dot 0 */, {36.5, 1}, {72, 1}, {106.5, 2} /* dot 2 */,
        {110, 3}, {500, 3},
    };
    for (const auto& [x, box] : cases) {
        EXPECT_EQ(boxAtColumn(x, boxWidth), box) << x;
    }
}

} // namespace
} // namespace fw
