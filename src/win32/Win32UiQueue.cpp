// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32UiQueue.h"

#include <utility>

namespace fw::win32 {
namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr const wchar_t* kClassName = L"FernwickUiQueue";

} // namespace

Win32UiQueue::Win32UiQueue(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32UiQueue::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass); // fails harmlessly when a second queue registers it again
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32UiQueue::~Win32UiQueue() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void Win32UiQueue::post(std::function<void()> fn) {
    {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(fn));
    }
    PostMessageW(window_, kRunPosted, 0, 0);
}

// One call per message: a call that opens a modal loop (a message box) lets the calls after it run
// in that loop, still in the order they were posted.
void Win32UiQueue::runPosted() {
    std::function<void()> fn;
    {
        const std::lock_guard lock(mutex_);
        if (calls_.empty()) {
            return;
        }
        fn = std::move(calls_.front());
        calls_.pop_front();
    }
    fn();
}

LRESULT CALLBACK Win32UiQueue::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunPosted) {
        if (auto* queue = reinterpret_cast<Win32UiQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            queue->runPosted();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace fw::win32
