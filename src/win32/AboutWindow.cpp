// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/AboutWindow.h"

#include "Version.h"
#include "app/AboutLayout.h"
#include "app/AboutText.h"
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

LRESULT CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* done = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (done != nullptr &&
        ((message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) ||
         message == WM_CLOSE)) {
        *done = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void AboutWindow::run(HINSTANCE instance, const DpiApi& dpi, HWND owner) {
    registerWindowClass(instance, kClassName, &aboutProc);

    const AboutText text = aboutText(FERNWICK_VERSION_MAJOR, FERNWICK_VERSION_MINOR, FERNWICK_VERSION_PATCH);
    const POINT at = ownerCentre(owner);
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, wideOf(text.title).c_str(),
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, 1, 1, owner, nullptr,
                                  instance, nullptr);
    bool done = false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&done));
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
    m.child(window, L"STATIC", L"", SS_ETCHEDHORZ, 0, kRule.left, kRule.top, kRule.width, kRule.height);
    HWND ok = m.child(window, L"BUTTON", wideOf(text.ok).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                      kOk.left, kOk.top, kOk.width, kOk.height);
    centreOnOwner(window, owner);

    // Modal: the owner takes no input until the box closes; the box's own loop keeps Enter, Escape
    // and Tab working.
    EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(ok);
    MSG msg{};
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
    }
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    DestroyWindow(window);
    if (picture != nullptr) {
        DestroyIcon(picture);
    }
}

} // namespace fw::win32
