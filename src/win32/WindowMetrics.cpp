// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/WindowMetrics.h"

#include <algorithm>

namespace fw::win32 {

WindowMetrics::WindowMetrics(HWND window) {
    const UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
    dpi_ = dpi != 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                   static_cast<UINT>(dpi_)) == 0) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    }
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
}

WindowMetrics::~WindowMetrics() {
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

HWND WindowMetrics::child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                          int left, int top, int width, int height) const {
    HWND control =
        CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, px(left), px(top), px(width),
                        px(height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

void WindowMetrics::sizeClient(HWND window, int widthTwips, int heightTwips, bool withMenu) const {
    RECT rect{0, 0, px(widthTwips), px(heightTwips)};
    AdjustWindowRectExForDpi(
        &rect, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), withMenu ? TRUE : FALSE,
        static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), static_cast<UINT>(dpi_));
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON loadIcon(HINSTANCE instance, int id, int side) {
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
}

namespace {

RECT ownerArea(HWND owner) {
    RECT area{};
    if (owner == nullptr || GetWindowRect(owner, &area) == 0) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    return area;
}

} // namespace

POINT ownerCentre(HWND owner) {
    const RECT area = ownerArea(owner);
    return {area.left + (area.right - area.left) / 2, area.top + (area.bottom - area.top) / 2};
}

void centreOnOwner(HWND window, HWND owner) {
    const RECT area = ownerArea(owner);
    RECT own{};
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    LONG left = area.left + (area.right - area.left - width) / 2;
    LONG top = area.top + (area.bottom - area.top - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST),
                        &monitor) != 0) {
        const RECT& work = monitor.rcWork;
        left = std::max(work.left, std::min(left, work.right - width));
        top = std::max(work.top, std::min(top, work.bottom - height));
    }
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace fw::win32
