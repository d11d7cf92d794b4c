// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <windows.h>

namespace fw::win32 {

// The base of the program's windows (T derives from it publicly and befriends it). The object is
// its window's from WM_NCCREATE to WM_NCDESTROY: every message goes to
// `std::optional<LRESULT> T::handle(UINT, WPARAM, LPARAM)`, and what it leaves (nullopt) to
// DefWindowProcW. A T with `void dpiChanged(UINT dpi)` follows its monitor's scale: on WM_DPICHANGED
// the window takes the rectangle Windows suggests, then T makes its fonts, pictures and layout again.
template <class T> class Win32Window {
public:
    HWND window() const { return window_; }

protected:
    Win32Window() = default;
    ~Win32Window() = default;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // The procedure to register the window's class with.
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if constexpr (requires { self->dpiChanged(0U); }) {
            if (message == WM_DPICHANGED) { // moved to a monitor of another scale
                const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                             suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
                self->dpiChanged(HIWORD(wParam));
                return 0;
            }
        }
        if (const std::optional<LRESULT> result = self->handle(message, wParam, lParam)) {
            return *result;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // The window, of a class registered with windowProc, for this object.
    HWND createWindow(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x,
                      int y, int width, int height, HWND parent, HINSTANCE instance) {
        CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr, instance,
                        static_cast<T*>(this));
        return window_;
    }

    // The window goes without a word to this object, which is going too.
    void destroyWindow() {
        if (window_ != nullptr) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            DestroyWindow(std::exchange(window_, nullptr));
        }
    }

    // Shows the window with the focus on `focus` and runs its own loop, modal to owner (may be null),
    // until `done`: the owner takes no input meanwhile, `key` (may be empty) takes the keys the window
    // handles itself and the dialog manager gives it Tab, the arrows and the mnemonics. The owner is
    // enabled and active again before the window goes. False when the program is quitting: WM_QUIT
    // came and is posted again for the owner's loop.
    bool runModal(HWND owner, HWND focus, const bool& done, const std::function<bool(const MSG&)>& key = {}) {
        if (owner != nullptr) {
            EnableWindow(owner, FALSE);
        }
        ShowWindow(window_, SW_SHOW);
        SetFocus(focus);
        MSG msg{};
        BOOL got = TRUE;
        while (!done && (got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            if ((key && key(msg)) || IsDialogMessageW(window_, &msg)) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
        }
        if (owner != nullptr) {
            EnableWindow(owner, TRUE); // before this window goes, so that the owner takes the activation
            SetActiveWindow(owner);
        }
        return got != 0;
    }

    HWND window_ = nullptr;
};

} // namespace fw::win32
