// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/UiPost.h"
#include "win32/Win32Window.h"

#include <deque>
#include <functional>
#include <mutex>
#include <windows.h>

namespace fw::win32 {

// The Win32 message loop's UiQueue: calls wait in a list and a message-only window runs one per
// wake-up message as it comes round, in whatever loop the GUI thread is in (the main loop, a modal
// dialog's, a message box's). One wake-up is on its way while calls wait; when the thread's message
// queue is full and refuses it, a timer (which takes no place in that queue) wakes the window
// instead, so no call is lost or left behind. Made and destroyed on the GUI thread; post() from any
// thread.
class Win32UiQueue final : public UiQueue, public Win32Window<Win32UiQueue> {
public:
    // How a wake-up message is posted: PostMessageW, or in tests one that refuses as a full queue does.
    using PostFn = std::function<bool(HWND window, UINT message)>;
    explicit Win32UiQueue(HINSTANCE instance, PostFn postMessage = nullptr);
    ~Win32UiQueue();
    Win32UiQueue(const Win32UiQueue&) = delete;
    Win32UiQueue& operator=(const Win32UiQueue&) = delete;

    void post(std::function<void()> fn) override;

private:
    friend Win32Window<Win32UiQueue>;
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    void wake();
    void runPosted();

    PostFn post_;
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
    bool wakeDue_ = false; // a wake-up message or the retry timer is on its way
};

} // namespace fw::win32
