#include "app/core/ListLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>

namespace fw::list_layout {
namespace {

TEST(ListLayout, WidthUnitRoundsHalvesToEven) {
    struct Case {
        int width;
        std::optional<std::int16_t> w;
    };
    const Case cases[]{
        {6000, 980},         // 1000 - 20
        {9600, 1580},        // 1600 - 20
        {9495, 1562},        // 1582.5 -> 1582 (even), - 20
        {9501, 1564},        // 1583.5 -> 1584 (even), - 20
        {9497, 1563},        // 1582.83 -> 1583
        {9496, 1563},        // 1582.67 -> 1583
        {9494, 1562},        // 1582.33 -> 1582
        {129, 2},            // 21.5 -> 22
        {123, std::nullopt}, // 20.5 -> 20 (even): w = 0
        {120, std::nullopt}, // w = 0: a minimized window keeps its layout
        {0, std::nullopt},   // w = -20
        {-90, std::nullopt},
        {1'000'000, 32767}, // clamped instead of wrapping
    };
    for (const Case& c : cases) {
        EXPECT_EQ(widthUnit(c.width), c.w) << "width " << c.width;
    }
}

TEST(ListLayout, ColumnWidthsFromTheUnit) {
    EXPECT_EQ(columnWidths(980), (std::array<int, 7>{980, 980, 980, 880, 880, 1180, 0}));
    EXPECT_EQ(columnWidths(1580), (std::array<int, 7>{1580, 1580, 1580, 1480, 1480, 1780, 0}));
    // The six visible columns take the list's width less 120 twips.
    const int width = 9600;
    int sum = 0;
    for (const int c : columnWidths(*widthUnit(width))) {
        sum += c;
    }
    EXPECT_EQ(sum, width - 120);
}

TEST(ListLayout, TwipsAndPixels) {
    EXPECT_EQ(twipsToPixels(9480, 96), 632);
    EXPECT_EQ(twipsToPixels(562.5, 96), 38); // a half pixel rounds up
    EXPECT_EQ(twipsToPixels(980, 120), 82);  // 81.67
    EXPECT_DOUBLE_EQ(pixelsToTwips(400, 144), 4000);
}

} // namespace
} // namespace fw::list_layout
