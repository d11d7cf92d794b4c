// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/AboutWindow.h"

#include "Version.h"
#include "app/AboutLayout.h"
#include "app/AboutText.h"
#include "platform/windows/BuiltInVendors.h"
#include "platform/windows/WideText.h"
#include "win32/ResourceIds.h"
#include "win32/WindowClass.h"
#include "win32/WindowMetrics.h"

#include <windows.h>
// windows.h first: the headers below use its types
#include <commctrl.h>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickAbout";

} // namespace

std::optional<LRESULT> AboutWindow::handle(UINT message, WPARAM wParam, LPARAM) {
    if ((message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) ||
        message == WM_CLOSE) {
        done_ = true;
        return 0;
    }
    return std::nullopt;
}

void AboutWindow::run(HINSTANCE instance, const DpiApi& dpi, HWND owner) {
    registerWindowClass(instance, kClassName, &windowProc);

    const AboutText text = aboutText(FERNWICK_VERSION_MAJOR, FERNWICK_VERSION_MINOR, FERNWICK_VERSION_PATCH);
    const POINT at = ownerCentre(owner);
    AboutWindow about;
    HWND window = about.createWindow(WS_EX_DLGMODALFRAME, kClassName, wideOf(text.title).c_str(),
                                     WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, 1, 1, owner, instance);
    const WindowMetrics m(dpi, window);
    using namespace about_layout;
    m.sizeClient(window, kClient.width, kClient.height);
    HWND icon = m.child(window, L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, 0, kIcon.left, kIcon.top,
                        kIconSize, kIconSize);
    HICON picture = loadIcon(instance, FW_IDI_PROGRAM, m.px(kIconSize));
    if (picture != nullptr) {
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(picture), 0);
    }
    m.child(window, L"STATIC", wideOf(text.version).c_str(), SS_LEFT | SS_NOPREFIX, 0, kVersion.left,
            kVersion.top, kVersion.width, kVersion.height);
    m.child(window, L"STATIC", wideOf(text.notice).c_str(), SS_LEFT | SS_NOPREFIX, 0, kNotice.left,
            kNotice.top, kNotice.width, kNotice.height);
    m.child(window, L"STATIC", wideOf(aboutVendorsText(std::string(BuiltInVendors::date()))).c_str(),
            SS_LEFT | SS_NOPREFIX, 0, kVendors.left, kVendors.top, kVendors.width, kVendors.height);
    m.child(window, L"STATIC", L"", SS_ETCHEDHORZ, 0, kRule.left, kRule.top, kRule.width, kRule.height);
    HWND ok = m.child(window, L"BUTTON", wideOf(text.ok).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                      kOk.left, kOk.top, kOk.width, kOk.height);
    centreOnOwner(window, owner);

    // Modal: the owner takes no input until the box closes; the box's own loop keeps Enter, Escape
    // and Tab working.
    about.runModal(owner, ok, about.done_);
    about.destroyWindow();
    if (picture != nullptr) {
        DestroyIcon(picture);
    }
}

} // namespace fw::win32
