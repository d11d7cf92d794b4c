// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/SearchingWindow.h"

#include "common/StringTable.h"
#include "discovery/SearchingLayout.h"
#include "platform/windows/WideText.h"
#include "win32/WindowClass.h"

#include <windows.h>
// windows.h first: the headers below use its types
#include <commctrl.h>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickSearching";
constexpr UINT_PTR kStepTimer = 1;

std::wstring text(Str id) {
    return wideOf(loadResString(id));
}

} // namespace

SearchingWindow::SearchingWindow(HINSTANCE instance, const DpiApi& dpi, HWND owner,
                                 std::function<void()> ended)
    : ended_(std::move(ended)) {
    registerWindowClass(instance, kClassName, &windowProc);

    const POINT at = ownerCentre(owner);
    createWindow(WS_EX_DLGMODALFRAME, kClassName, text(Str::SearchingTitle).c_str(),
                 WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, 1, 1, owner, instance);
    metrics_ = std::make_unique<WindowMetrics>(dpi, window_);
    const WindowMetrics& m = *metrics_;
    using namespace searching_layout;
    m.sizeClient(window_, kClientWidth, kClientHeight);
    m.child(window_, L"STATIC", text(Str::SearchingText).c_str(), SS_LEFT, 0, kLabel.left, kLabel.top,
            kLabel.width, kLabel.height);
    bar_ = m.child(window_, PROGRESS_CLASSW, L"", 0, 0, kBar.left, kBar.top, kBar.width, kBar.height);
    SendMessageW(bar_, PBM_SETRANGE32, 0, SearchCountdown::kLastValue);
    cancel_ = m.child(window_, L"BUTTON", text(Str::Cancel).c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL,
                      kButton.left, kButton.top, kButton.width, kButton.height);
    centreOnOwner(window_, owner);
}

SearchingWindow::~SearchingWindow() {
    destroyWindow();
}

// Over the operator's main window the Searching window takes the keys, so that Escape, Enter and
// Space cancel; behind another program it shows without taking the activation from it.
void SearchingWindow::start() {
    HWND owner = GetWindow(window_, GW_OWNER);
    if (owner != nullptr && GetForegroundWindow() == owner) {
        ShowWindow(window_, SW_SHOWNORMAL);
        SetFocus(cancel_);
    } else {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    advance(countdown_.start());
}

void SearchingWindow::advance(std::optional<SearchCountdown::Step> step) {
    if (step) {
        SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(step->bar), 0);
        SetTimer(window_, kStepTimer, static_cast<UINT>(step->wait.count()), nullptr);
        return;
    }
    KillTimer(window_, kStepTimer);
    // The activation goes back to the main window (which gives the keys back to its list) before
    // this window goes, rather than to whatever the system picks.
    if (HWND owner = GetWindow(window_, GW_OWNER); owner != nullptr && GetActiveWindow() == window_) {
        SetActiveWindow(owner);
    }
    destroyWindow();
    ended_();
}

std::optional<LRESULT> SearchingWindow::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kStepTimer) {
            KillTimer(window_, kStepTimer);
            advance(countdown_.tick());
            return 0;
        }
        break;
    case WM_COMMAND:
        // The button (Space on it), Escape, or Enter through the loop's dialog keys.
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            countdown_.cancel();
            return 0;
        }
        break;
    case WM_CLOSE:
        countdown_.cancel();
        return 0;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace fw::win32
