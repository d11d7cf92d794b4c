// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace fw {

// The upgrade dialog's controls in twips, for every toolkit's view. The path box and OK share the
// selection view's place with the bar and the percent label of the progress view.
struct UpgradeLayout {
    struct Rect {
        int left, top, width, height;
    };
    static constexpr Rect kClient{0, 0, 4575, 2265}; // 1905, and the device line below the buttons
    static constexpr Rect kPrompt{240, 120, 2655, 255};
    static constexpr Rect kPathBox{120, 600, 4335, 285};
    static constexpr Rect kBar{120, 480, 4335, 495};
    static constexpr Rect kOk{480, 1200, 1335, 375};
    static constexpr Rect kPercent{1920, 1080, 615, 255};
    static constexpr Rect kCancel{2640, 1200, 1335, 375};
    static constexpr Rect kDevice{120, 1800, 4335, 255}; // names the device the dialog acts on
};

} // namespace fw
