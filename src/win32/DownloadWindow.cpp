// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/DownloadWindow.h"

#include "common/StringTable.h"
#include "common/Twips.h"
#include "platform/windows/WideText.h"
#include "upgrade/ImageFilter.h"
#include "upgrade/UpgradeLayout.h"
#include "win32/FileDialog.h"
#include "win32/Win32MessageBox.h"
#include "win32/WindowClass.h"

#include <array>
#include <commctrl.h>
#include <commdlg.h>
#include <utility>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickDownload";
constexpr int kPathBoxId = 100;
constexpr UINT kBrowse = WM_APP + 1; // the path box's drop-down button, once its list is shut
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

std::wstring resText(Str id) {
    return wideOf(loadResString(id));
}

RECT pixels(const UpgradeLayout::Rect& r, UINT dpi) {
    const int left = twipsToPixels(r.left, dpi), top = twipsToPixels(r.top, dpi);
    return {left, top, left + twipsToPixels(r.width, dpi), top + twipsToPixels(r.height, dpi)};
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

void DownloadWindow::run(HWND owner, const Win32Context& context, const UpgradeDialog::Opening& opening,
                         UploadCarryOver& carry) {
    DownloadWindow dialog(context, opening, carry);
    dialog.owner_ = owner;
    dialog.create(owner);
    // The engine's answers arrive in the dialog's loop as the UiQueue's messages.
    if (!dialog.runModal(owner, dialog.ok_, dialog.closed_,
                         [&dialog](const MSG& msg) { return dialog.key(msg); })) {
        dialog.closeDialog(false); // the program ends: nothing left to ask
    }
    dialog.destroyWindow();
}

DownloadWindow::DownloadWindow(const Win32Context& context, const UpgradeDialog::Opening& opening,
                               UploadCarryOver& carry)
    : instance_(context.instance), dpi_(context.dpi),
      job_(context.engine, context.queue, context.host, carry), logic_(*this, job_, opening) {
    registerWindowClass(context.instance, kClassName, &windowProc);
}

DownloadWindow::~DownloadWindow() {
    allowSessionEnd();
    destroyWindow();
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void DownloadWindow::create(HWND owner) {
    const UINT dpi = dpi_.forWindow(owner);
    RECT frame = pixels(UpgradeLayout::kClient, dpi);
    dpi_.adjustWindowRect(frame, kStyle, false, kExStyle, dpi);
    RECT ownerRect{};
    GetWindowRect(owner != nullptr ? owner : GetDesktopWindow(), &ownerRect);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    createWindow(kExStyle, kClassName, resText(Str::Downloading).c_str(), kStyle,
                 ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2,
                 ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2, width, height, owner,
                 instance_);

    // Made in the tab order: OK, Cancel, then the path box; OK holds the focus when the dialog opens.
    auto control = [&](const wchar_t* windowClass, const std::wstring& text, DWORD style, int id) {
        return CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | style, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    };
    prompt_ = control(WC_STATICW, resText(Str::DownloadFile), WS_VISIBLE, -1);
    ok_ = control(WC_BUTTONW, resText(Str::Ok), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
    cancel_ = control(WC_BUTTONW, resText(Str::Cancel), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
    pathBox_ =
        control(WC_COMBOBOXW, L"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL, kPathBoxId);
    bar_ = control(PROGRESS_CLASSW, L"", 0, -1);
    percent_ = control(WC_STATICW, L"", 0, -1);
    device_ = control(WC_STATICW, wideOf(logic_.deviceLine()), WS_VISIBLE | SS_NOPREFIX | SS_ENDELLIPSIS, -1);
    SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
    layout(dpi);
}

// The controls at their twips for dpi, in the system's message font at that dpi.
void DownloadWindow::layout(UINT dpi) {
    const NONCLIENTMETRICSW metrics = dpi_.nonClientMetrics(dpi);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    const std::array<std::pair<HWND, UpgradeLayout::Rect>, 7> places{{{prompt_, UpgradeLayout::kPrompt},
                                                                      {ok_, UpgradeLayout::kOk},
                                                                      {cancel_, UpgradeLayout::kCancel},
                                                                      {pathBox_, UpgradeLayout::kPathBox},
                                                                      {bar_, UpgradeLayout::kBar},
                                                                      {percent_, UpgradeLayout::kPercent},
                                                                      {device_, UpgradeLayout::kDevice}}};
    for (const auto& [control, place] : places) {
        const RECT r = pixels(place, dpi);
        // A combo box's height is its list's too: the list stays empty, the button asks for Browse.
        const int list = control == pathBox_ ? twipsToPixels(place.height * 3, dpi) : 0;
        MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top + list, TRUE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = font;
}

// Enter and Escape go to the logic, which keeps a stray one from aborting a flash.
bool DownloadWindow::key(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != window_ && !IsChild(window_, msg.hwnd))) {
        return false;
    }
    if (msg.wParam == VK_RETURN) {
        logic_.enterPressed(GetFocus() == cancel_);
        return true;
    }
    if (msg.wParam == VK_ESCAPE) {
        if (UpgradeDialog::kEscapeCloses) {
            logic_.cancel();
        }
        return true;
    }
    return false;
}

std::optional<LRESULT> DownloadWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            logic_.ok();
            return 0;
        case IDCANCEL:
            if (HIWORD(wParam) == BN_CLICKED && reinterpret_cast<HWND>(lParam) == cancel_) {
                logic_.cancel();
            }
            return 0;
        case kPathBoxId:
            if (HIWORD(wParam) == CBN_DROPDOWN) {
                PostMessageW(window_, kBrowse, 0, 0);
            }
            return 0;
        default:
            break;
        }
        break;
    case kBrowse:
        SendMessageW(pathBox_, CB_SHOWDROPDOWN, FALSE, 0);
        logic_.browse();
        return 0;
    // A dialog's focus stays on its control while another window (a message box, the file dialog,
    // another program) is active, and comes back with the activation.
    case WM_ACTIVATE:
        if (!focus_.activated(window_, wParam) && LOWORD(wParam) != WA_INACTIVE) {
            SetFocus(IsWindowVisible(ok_) ? ok_ : window_);
        }
        return 0;
    // A logoff or shutdown would cut the flash short: refused while bytes go out, with the reason
    // Windows shows the user; at other times the session ends and the program with it, unasked.
    case WM_QUERYENDSESSION:
        if (!logic_.transferRunning()) {
            return TRUE;
        }
        if (!blockingSessionEnd_ && owner_ != nullptr) {
            blockingSessionEnd_ =
                ShutdownBlockReasonCreate(owner_, resText(Str::UpgradeBlocksSessionEnd).c_str()) != FALSE;
        }
        return FALSE;
    case WM_CLOSE: // the close button and Alt+F4: the logic asks first while a transfer runs
        logic_.cancel();
        return 0;
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
        break;
    }
    return std::nullopt;
}

std::string DownloadWindow::pathText() const {
    return utf8Of(windowText(pathBox_));
}

void DownloadWindow::setPathText(const std::string& path) {
    SetWindowTextW(pathBox_, wideOf(path).c_str());
}

void DownloadWindow::focusPathBox() {
    SetFocus(pathBox_);
}

void DownloadWindow::focusOk() {
    SetFocus(ok_);
}

std::optional<std::string> DownloadWindow::chooseImage() {
    // "name\0pattern\0\0", the same one filter as the Qt dialog's.
    const std::wstring filter =
        wideOf(kImageFilterName) + L'\0' + wideOf(kImageFilterPattern) + L'\0' + L'\0';
    return FileDialog::choose(FileDialog::Kind::Open, window_,
                              {filter, {}, nullptr, nullptr, OFN_FILEMUSTEXIST});
}

MessageAnswer DownloadWindow::showMessage(const Message& message) {
    return win32::showMessage(window_, message);
}

void DownloadWindow::showProgressView() {
    ShowWindow(pathBox_, SW_HIDE);
    ShowWindow(ok_, SW_HIDE);
    ShowWindow(bar_, SW_SHOW);
    ShowWindow(percent_, SW_SHOW);
    SetWindowTextW(window_, resText(Str::Downloading).c_str());
    SetFocus(window_); // not Cancel: a key meant for something else must not reach it
}

void DownloadWindow::setBar(int value) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void DownloadWindow::setPercent(const std::string& text) {
    SetWindowTextW(percent_, wideOf(text).c_str());
}

void DownloadWindow::closeDialog(bool) {
    if (!closed_) {
        closed_ = true;
        logic_.closing(); // the loop ends with this message
        allowSessionEnd();
    }
}

void DownloadWindow::allowSessionEnd() {
    if (blockingSessionEnd_) {
        blockingSessionEnd_ = false;
        ShutdownBlockReasonDestroy(owner_);
    }
}

} // namespace fw::win32
