// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Twips.h"

namespace fw::about_layout {

// The About box (frmAbout) as designed; client area 5730 x 1905.
inline constexpr TwipRect kClient{0, 0, 5730, 1905};
inline constexpr TwipRect kIcon{240, 240, 540, 540};
inline constexpr int kIconSize = 480; // the 32-pixel icon at 96 dpi
inline constexpr TwipRect kVersion{1080, 240, 3885, 225};
inline constexpr TwipRect kNotice{1080, 600, 3885, 375};
// Windows only: the date of the vendor table built into the program, under the notice.
inline constexpr TwipRect kVendors{1080, 975, 3885, 225};
inline constexpr TwipRect kRule{120, 1200, 5684 - 120, 15};
inline constexpr TwipRect kOk{4245, 1440, 1260, 345};

} // namespace fw::about_layout
