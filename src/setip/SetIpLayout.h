// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace fw {

// The Set IP dialog's design, in twips; positions of the frame's children are inside the frame.
// Views scale it by their DPI and may only grow a control that needs more room for its text.
struct SetIpLayout {
    struct Rect {
        int left;
        int top;
        int width;
        int height;
    };
    static constexpr int kClientWidth = 4680;
    static constexpr int kClientHeight = 3990; // 3615, and the device line below the buttons
    static constexpr int kMargin = 240;        // kept right of and below the frame and the buttons
    static constexpr int kFrameMargin = 120;   // kept right of and below the frame's children
    static constexpr Rect kFrame{240, 240, 4215, 2535};
    static constexpr Rect kStaticOption{240, 360, 375, 195};
    static constexpr Rect kStaticCaption{840, 360, 1935, 375};
    static constexpr Rect kDhcpOption{240, 2040, 255, 195};
    static constexpr Rect kDhcpCaption{840, 2040, 1935, 255};
    // Address, mask, gateway: the caption left, the entry right.
    static constexpr std::array<Rect, 3> kEntryCaptions{
        {{960, 720, 975, 255}, {960, 1080, 975, 255}, {960, 1440, 975, 255}}};
    static constexpr std::array<Rect, 3> kEntries{
        {{2040, 720, 2010, 285}, {2040, 1080, 2010, 285}, {2040, 1440, 2010, 285}}};
    static constexpr Rect kOk{600, 3000, 855, 375};
    static constexpr Rect kExit{3120, 3000, 855, 375};
    static constexpr Rect kDevice{240, 3495, 4215, 255}; // names the device the dialog acts on
};

} // namespace fw
