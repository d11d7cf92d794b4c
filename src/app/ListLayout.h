// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Twips.h"

#include <array>
#include <cstdint>
#include <optional>

namespace fw {

// Geometry of the main window's device list, in twips (1/1440 inch) as the window is designed.
namespace list_layout {

inline constexpr int kColumnCount = 7;

// The main window's client area (below the menu bar) as it opens.
inline constexpr int kClientWidth = 9480;
inline constexpr int kClientHeight = 6495;

// Toolbar buttons: left 120 / 720, top 120, 375 x 375. The list sits at 600 below a fresh toolbar and
// at 1.5 button heights after the toolbar is shown again.
inline constexpr int kButtonSize = 375;
inline constexpr int kButtonTop = 120;
inline constexpr int kDeleteButtonLeft = 120;
inline constexpr int kSearchButtonLeft = 720;
inline constexpr int kInitialListTop = 600;
inline constexpr double kShownListTop = 1.5 * kButtonSize;

// The column width unit: list width / 6 - 20 (the width the list shows its rows in: inside its
// border and beside its vertical scroll bar, so that the last column is not cut off), rounded to nearest with
// halves to even, as a 16-bit signed number (clamped, so a huge window cannot wrap it). None when the unit
// would be zero or negative (a minimized window): the caller then keeps its current layout.
std::optional<std::int16_t> widthUnit(int listWidthTwips) noexcept;

// Columns 1-3: w; 4 and 5: w - 100; 6: w + 200; 7 (the kind letter): 0.
std::array<int, kColumnCount> columnWidths(std::int16_t w) noexcept;

// With the Vendor column shown, seven columns share the list: the unit is taken from six sevenths of
// its width (widthUnit(sharedWidth(...))), and the Vendor column is w wide.
constexpr int sharedWidth(int listWidthTwips, bool vendorColumnShown) noexcept {
    return vendorColumnShown ? static_cast<int>(static_cast<long long>(listWidthTwips) * 6 / 7)
                             : listWidthTwips;
}

} // namespace list_layout
} // namespace fw
