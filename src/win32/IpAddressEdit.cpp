// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/IpAddressEdit.h"

#include "common/Overloaded.h"
#include "platform/windows/WideText.h"
#include "win32/Win32MessageBox.h"
#include "win32/WindowClass.h"

#include <cmath>
#include <commctrl.h>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickIpAddress";
constexpr UINT kRunDeferred = WM_APP + 2;
constexpr int kFirstBoxId = 100;

int px(double v) {
    return static_cast<int>(std::lround(v));
}

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

IpAddressEdit::IpAddressEdit(HINSTANCE instance, HWND parent) {
    registerWindowClass(instance, kClassName, &windowProc, nullptr, nullptr, CS_HREDRAW | CS_VREDRAW);
    // WS_EX_CONTROLPARENT: the dialog manager tabs into the boxes as if they were the dialog's.
    createWindow(WS_EX_CONTROLPARENT, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_GROUP, 0,
                 0, 0, 0, parent, instance);
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        HWND box = CreateWindowExW(0, L"EDIT", L"0", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_CENTER, 0, 0, 0,
                                   0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstBoxId + i)),
                                   instance, nullptr);
        SendMessageW(box, EM_SETLIMITTEXT, IpAddressModel::kMaxBoxLength, 0);
        SetWindowSubclass(box, &IpAddressEdit::boxProc, i, reinterpret_cast<DWORD_PTR>(this));
        boxes_[i] = box;
    }
}

void IpAddressEdit::place(const RECT& rect, HFONT font) {
    font_ = font;
    for (HWND box : boxes_) {
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    // Never smaller than the font needs.
    const SIZE least = minimumSize();
    SetWindowPos(window_, nullptr, rect.left, rect.top, std::max<LONG>(rect.right - rect.left, least.cx),
                 std::max<LONG>(rect.bottom - rect.top, least.cy), SWP_NOZORDER | SWP_NOACTIVATE);
    relayout();
}

IpAddressEdit::~IpAddressEdit() {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        RemoveWindowSubclass(boxes_[i], &IpAddressEdit::boxProc, i);
    }
    destroyWindow();
}

void IpAddressEdit::setEnabled(bool enabled) {
    EnableWindow(window_, enabled ? TRUE : FALSE);
    for (HWND box : boxes_) {
        EnableWindow(box, enabled ? TRUE : FALSE);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void IpAddressEdit::setName(const std::wstring& name) {
    SetWindowTextW(window_, name.c_str());
}

SIZE IpAddressEdit::minimumSize() const {
    const IpControlLayout l = measure(0, 0);
    return SIZE{l.minWidth, l.minHeight};
}

IpControlLayout IpAddressEdit::measure(int width, int height) const {
    HDC dc = GetDC(window_);
    const HGDIOBJ old = SelectObject(dc, font_);
    SIZE wide{};
    SIZE line{};
    GetTextExtentPoint32W(dc, L"XXX", 3, &wide);
    GetTextExtentPoint32W(dc, L"X", 1, &line);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    return IpControlLayout::compute(wide.cx, line.cy, width, height);
}

void IpAddressEdit::relayout() {
    RECT client{};
    GetClientRect(window_, &client);
    layout_ = measure(client.right, client.bottom);
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const auto& r = layout_.boxes[i];
        MoveWindow(boxes_[i], px(r.left), px(r.top), px(r.width), px(r.height), TRUE);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void IpAddressEdit::paint() {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window_, &ps);
    RECT client{};
    GetClientRect(window_, &client);
    const bool enabled = IsWindowEnabled(window_) != 0;
    FillRect(dc, &client, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    // The dots in the boxes' own text colour, so that dark and high-contrast schemes keep them.
    const HBRUSH dotBrush = GetSysColorBrush(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    for (const auto& dot : layout_.dots) {
        const RECT r{px(dot.x), px(dot.y), px(dot.x) + IpControlLayout::kDotSize,
                     px(dot.y) + IpControlLayout::kDotSize};
        FillRect(dc, &r, dotBrush);
    }
    EndPaint(window_, &ps);
}

std::optional<LRESULT> IpAddressEdit::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            const int box = LOWORD(wParam) - kFirstBoxId;
            apply(model_.boxEdited(box, utf8Of(textOf(boxes_[static_cast<std::size_t>(box)]))));
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // Only the margins, gaps and dots reach the surface; the boxes take their own clicks.
        apply(IpAddressModel::surfaceClicked(static_cast<short>(LOWORD(lParam)), layout_.boxWidth,
                                             IsWindowEnabled(window_) != 0));
        return 0;
    case WM_SETFOCUS:
        SetFocus(boxes_[0]);
        return 0;
    case WM_SIZE:
        relayout();
        return 0;
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_PAINT:
        paint();
        return 0;
    case kRunDeferred:
        if (!deferred_.empty()) {
            const auto actions = std::move(deferred_.front());
            deferred_.pop_front();
            apply(actions);
        }
        return 0;
    default:
        break;
    }
    return std::nullopt;
}

LRESULT CALLBACK IpAddressEdit::boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                        DWORD_PTR self) {
    return reinterpret_cast<IpAddressEdit*>(self)->handleBox(box, static_cast<int>(index), message, wParam,
                                                             lParam);
}

LRESULT IpAddressEdit::handleBox(HWND box, int index, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR: {
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const auto typed = model_.charTyped(index, static_cast<char16_t>(wParam), start != end);
        apply(typed.actions);
        if (typed.value) {
            return 0;
        }
        break;
    }
    case WM_PASTE: // Ctrl+V types a control character the key rule refuses; Shift+Insert and the menu come
                   // here
        apply(IpAddressModel::pasteAttempted());
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            DWORD start = 0;
            SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
            apply(IpAddressModel::arrowPressed(
                index, wParam == VK_LEFT ? IpAddressModel::Arrow::Left : IpAddressModel::Arrow::Right,
                static_cast<int>(start), GetWindowTextLengthW(box)));
        }
        break; // the box still sees the key
    case WM_SETFOCUS: {
        const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
        apply(IpAddressModel::focusGained(index));
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
        // A message box or another program taking the focus is not leaving the box.
        const auto to = reinterpret_cast<HWND>(wParam);
        apply(
            model_.focusLost(index, to == nullptr || GetAncestor(to, GA_ROOT) != GetAncestor(box, GA_ROOT)));
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

void IpAddressEdit::apply(const IpAddressModel::Actions& actions) {
    using M = IpAddressModel;
    for (auto it = actions.begin(); it != actions.end(); ++it) {
        if (std::holds_alternative<M::Later>(*it)) {
            // From the message loop, after the message being handled.
            deferred_.emplace_back(std::next(it), actions.end());
            PostMessageW(window_, kRunDeferred, 0, 0);
            return;
        }
        std::visit(
            Overloaded{
                [this](const M::ShowText& a) {
                    SetWindowTextW(boxes_[static_cast<std::size_t>(a.box)], wideOf(a.text).c_str());
                },
                // Nobody here listens: the Set IP dialog reads the address when OK is pressed.
                [](const M::Changed&) {},
                [this](const M::Focus& a) {
                    HWND edit = boxes_[static_cast<std::size_t>(a.box)];
                    if (GetFocus() != edit) {
                        SetFocus(edit);
                    }
                    const LPARAM end = GetWindowTextLengthW(edit);
                    const LPARAM from = a.caret == M::Caret::AtEnd ? end : 0;
                    const LPARAM to = a.caret == M::Caret::SelectAll ? -1 : from;
                    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(from), to);
                },
                [this](const M::ShowMessage& a) { showMessage(GetAncestor(window_, GA_ROOT), a.message); },
                [](M::Beep) { MessageBeep(MB_OK); },
                [](M::Later) {},
            },
            *it);
    }
}

} // namespace fw::win32
