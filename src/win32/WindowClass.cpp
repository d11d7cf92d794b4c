// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/WindowClass.h"

namespace fw::win32 {

void registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HICON icon, HBRUSH background,
                         UINT style) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

bool FocusKeeper::activated(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(window, focus)) {
            focus_ = focus;
        }
        return false;
    }
    if (focus_ != nullptr && IsWindow(focus_) && IsWindowVisible(focus_)) {
        SetFocus(focus_);
        return true;
    }
    return false;
}

} // namespace fw::win32
