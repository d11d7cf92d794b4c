// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace fw {

// Window layouts are designed in twips, 1/1440 inch: 15 to a pixel at 96 dpi, 7.5 at 192 dpi. Every
// window converts with its own logical DPI so that a screen with larger fonts gets larger windows.
inline constexpr int kTwipsPerInch = 1440;

// Nearest pixel, halves away from zero.
constexpr int twipsToPixels(double twips, double dpi) noexcept {
    const double pixels = twips * dpi / kTwipsPerInch;
    return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

// A control's place in its window as designed, in twips.
struct TwipRect {
    int left, top, width, height;
};

constexpr double pixelsToTwips(int pixels, double dpi) noexcept {
    return pixels * kTwipsPerInch / dpi;
}

} // namespace fw
