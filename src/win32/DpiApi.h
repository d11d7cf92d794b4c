// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

namespace fw::win32 {

// The per-monitor DPI functions of user32, looked up when the program starts: Windows 10 1607
// brought them, and a program that imported them would not start on Windows 7 or 8.1. Where one is
// missing its older counterpart stands in, at the system's DPI (the one such systems scale to).
class DpiApi {
public:
    DpiApi();

    // The window's DPI; the system's where the window or the function is missing.
    UINT forWindow(HWND window) const;
    UINT forSystem() const;
    // AdjustWindowRectEx at dpi.
    void adjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) const;
    // The system's non-client metrics (the message font) at dpi.
    NONCLIENTMETRICSW nonClientMetrics(UINT dpi) const;
    // Per-monitor awareness v2 where the system has it, else system awareness. For a build without
    // the manifest, which declares the same.
    void becomeAware() const;

private:
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using GetDpiForSystemFn = UINT(WINAPI*)();
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);

    GetDpiForWindowFn getDpiForWindow_ = nullptr;
    GetDpiForSystemFn getDpiForSystem_ = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi_ = nullptr;
    SystemParametersInfoForDpiFn systemParametersInfoForDpi_ = nullptr;
    SetProcessDpiAwarenessContextFn setProcessDpiAwarenessContext_ = nullptr;
};

} // namespace fw::win32
