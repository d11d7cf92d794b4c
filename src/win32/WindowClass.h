// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

namespace fw::win32 {

// Registers one of the program's window classes: the arrow cursor, the dialog face as background
// unless said otherwise. A second registration of the same class fails harmlessly.
void registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HICON icon = nullptr,
                         HBRUSH background = GetSysColorBrush(COLOR_BTNFACE), UINT style = 0);

// What a dialog does with the focus: the control that had it gets it back when the window is
// activated again (after a message box, the file dialog or another program).
class FocusKeeper {
public:
    // WM_ACTIVATE's wParam. True when the focus went back to the remembered control.
    bool activated(HWND window, WPARAM wParam);

private:
    HWND focus_ = nullptr;
};

} // namespace fw::win32
