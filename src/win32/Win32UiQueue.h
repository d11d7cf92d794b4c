// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/UiPost.h"

#include <deque>
#include <functional>
#include <mutex>
#include <windows.h>

namespace fw::win32 {

// The Win32 message loop's UiQueue: calls wait in a list and a message-only window runs one per
// message as it comes round, in whatever loop the GUI thread is in (the main loop, a modal dialog's,
// a message box's). Made and destroyed on the GUI thread; post() from any thread.
class Win32UiQueue final : public UiQueue {
public:
    explicit Win32UiQueue(HINSTANCE instance);
    ~Win32UiQueue();
    Win32UiQueue(const Win32UiQueue&) = delete;
    Win32UiQueue& operator=(const Win32UiQueue&) = delete;

    void post(std::function<void()> fn) override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void runPosted();

    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};

} // namespace fw::win32
