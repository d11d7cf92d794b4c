// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32UiQueue.h"

#include "win32/WindowClass.h"

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
    registerWindowClass(instance, kClassName, &windowProc, nullptr, nullptr);
    createWindow(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, instance);
}

Win32UiQueue::~Win32UiQueue() {
    KillTimer(window_, kRetryTimer);
    destroyWindow();
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

std::optional<LRESULT> Win32UiQueue::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case kRunPosted:
        runPosted();
        return 0;
    case kArmRetry:
        SetTimer(window_, kRetryTimer, kRetryMs, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam == kRetryTimer) {
            KillTimer(window_, kRetryTimer);
            runPosted();
            return 0;
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace fw::win32
