// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/DpiApi.h"

namespace fw::win32 {

namespace {

template <typename Function> Function lookUp(HMODULE module, const char* name) {
    // A FARPROC stands for any function: cast through void(*)() to the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

DpiApi::DpiApi() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    getDpiForWindow_ = lookUp<GetDpiForWindowFn>(user32, "GetDpiForWindow");
    getDpiForSystem_ = lookUp<GetDpiForSystemFn>(user32, "GetDpiForSystem");
    adjustWindowRectExForDpi_ = lookUp<AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi");
    systemParametersInfoForDpi_ = lookUp<SystemParametersInfoForDpiFn>(user32, "SystemParametersInfoForDpi");
    setProcessDpiAwarenessContext_ =
        lookUp<SetProcessDpiAwarenessContextFn>(user32, "SetProcessDpiAwarenessContext");
}

UINT DpiApi::forWindow(HWND window) const {
    const UINT dpi = window != nullptr && getDpiForWindow_ != nullptr ? getDpiForWindow_(window) : 0;
    return dpi != 0 ? dpi : forSystem();
}

UINT DpiApi::forSystem() const {
    UINT dpi = getDpiForSystem_ != nullptr ? getDpiForSystem_() : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen != nullptr ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX)) : 0;
        ReleaseDC(nullptr, screen);
    }
    return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

void DpiApi::adjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) const {
    if (adjustWindowRectExForDpi_ == nullptr ||
        adjustWindowRectExForDpi_(&rect, style, menu ? TRUE : FALSE, exStyle, dpi) == 0) {
        AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
    }
}

NONCLIENTMETRICSW DpiApi::nonClientMetrics(UINT dpi) const {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (systemParametersInfoForDpi_ == nullptr ||
        systemParametersInfoForDpi_(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) == 0) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    }
    return metrics;
}

void DpiApi::becomeAware() const {
    if (setProcessDpiAwarenessContext_ == nullptr ||
        setProcessDpiAwarenessContext_(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) == 0) {
        SetProcessDPIAware();
    }
}

} // namespace fw::win32
