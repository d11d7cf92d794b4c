// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "win32/DpiApi.h"
#include "win32/Win32Window.h"

#include <windows.h>

namespace fw::win32 {

// The About box (frmAbout): the program's icon, name and version, the rights notice and one OK
// button that is both the default (Enter) and the cancel button (Escape). Modal to its owner.
class AboutWindow final : public Win32Window<AboutWindow> {
public:
    static void run(HINSTANCE instance, const DpiApi& dpi, HWND owner);

private:
    friend Win32Window<AboutWindow>;
    AboutWindow() = default;
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool done_ = false;
};

} // namespace fw::win32
