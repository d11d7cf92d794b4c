// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Twips.h"

#include <windows.h>

namespace fw::win32 {

// A window's measures at its monitor's DPI: twips to pixels, and the system's message font.
class WindowMetrics {
public:
    explicit WindowMetrics(HWND window);
    ~WindowMetrics();
    WindowMetrics(const WindowMetrics&) = delete;
    WindowMetrics& operator=(const WindowMetrics&) = delete;

    int dpi() const { return dpi_; }
    int px(double twips) const { return twipsToPixels(twips, dpi_); }
    HFONT font() const { return font_; }
    // A child control at a rectangle in twips, in the message font.
    HWND child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id, int left,
               int top, int width, int height) const;
    // Sizes the window so that its client area is width x height twips.
    void sizeClient(HWND window, int widthTwips, int heightTwips, bool withMenu = false) const;

private:
    int dpi_;
    HFONT font_ = nullptr;
};

// The icon resource `id` at side x side pixels (the nearest size it has, scaled), or null; the
// caller destroys it.
HICON loadIcon(HINSTANCE instance, int id, int side);

// Where a dialog of the owner's is made before it knows its size: the middle of the owner (or of the
// work area), so that it has the DPI of the owner's monitor from the start.
POINT ownerCentre(HWND owner);

// Puts a window over the middle of its owner (or the screen), inside the work area of the owner's
// monitor.
void centreOnOwner(HWND window, HWND owner);

} // namespace fw::win32
