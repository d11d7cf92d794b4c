// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Twips.h"

namespace fw::searching_layout {

// The Searching dialog (pending) as designed: a label, the bar and Cancel in a fixed client area.
inline constexpr int kClientWidth = 5535;
inline constexpr int kClientHeight = 2160;
inline constexpr TwipRect kLabel{120, 240, 5295, 375};
inline constexpr TwipRect kBar{120, 840, 5295, 495};
inline constexpr TwipRect kButton{2040, 1560, 1455, 375};

} // namespace fw::searching_layout
