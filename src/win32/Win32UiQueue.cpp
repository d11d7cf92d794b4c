// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32UiQueue.h"

#include <utility>

namespace fw::win32 {
namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT kArmRetry = WM_APP + 2; // sent, not posted: it needs no room in the full queue
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMs = USER_TIMER_MINIMUM; // WM_TIMER only comes once the queue has drained
constexpr const wchar_t* kClassName = L"FernwickUiQueue";

} // namespace

Win32UiQueue::Win32UiQueue(HINSTANCE instance, PostFn postMessage) : post_(std::move(postMessage)) {
    if (!post_) {
        post_ = [](HWND window, UINT message) {
            return PostMessageW(window, message, 0, 0) != FALSE;
        };
    }
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
    KillTimer(window_, kRetryTimer);
    DestroyWindow(window_);
}

void Win32UiQueue::post(std::function<void()> fn) {
    bool wakeNeeded = false;
    {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(fn));
        wakeNeeded = !std::exchange(wakeDue_, true);
    }
    if (wakeNeeded) {
        wake();
    }
}

// A thread's queue holds at most 10,000 posted messages (ERROR_NOT_ENOUGH_QUOTA beyond). Then the
// window arms its timer: directly on the GUI thread, by a sent message from any other.
void Win32UiQueue::wake() {
    if (post_(window_, kRunPosted) || SendNotifyMessageW(window_, kArmRetry, 0, 0) != FALSE) {
        return;
    }
    const std::lock_guard lock(mutex_);
    wakeDue_ = false; // the window is going; the next post tries again
}

// One call per wake-up, and the next wake-up is on its way before the call runs: a call that opens
// a modal loop (a message box) lets the calls after it run in that loop, still in the order they
// were posted.
void Win32UiQueue::runPosted() {
    std::function<void()> fn;
    bool more = false;
    {
        const std::lock_guard lock(mutex_);
        if (calls_.empty()) {
            wakeDue_ = false;
            return;
        }
        fn = std::move(calls_.front());
        calls_.pop_front();
        more = !calls_.empty();
        wakeDue_ = more;
    }
    if (more) {
        wake();
    }
    fn();
}

LRESULT CALLBACK Win32UiQueue::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* queue = reinterpret_cast<Win32UiQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case kRunPosted:
        if (queue != nullptr) {
            queue->runPosted();
        }
        return 0;
    case kArmRetry:
        SetTimer(window, kRetryTimer, kRetryMs, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam == kRetryTimer) {
            KillTimer(window, kRetryTimer);
            if (queue != nullptr) {
                queue->runPosted();
            }
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace fw::win32
