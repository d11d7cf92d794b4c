// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32UiQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

namespace fw {
namespace {

// Calls posted while the GUI thread's message queue is full, from another thread or from that one,
// all run, in the order they were posted. A full queue (10,000 messages on Windows; wine sets no
// limit) is played by a post that refuses until the first calls have run.
TEST(Win32UiQueue, CallsPostedWhileTheMessageQueueIsFullAllRunInOrder) {
    std::atomic<bool> full = true;
    std::vector<int> ran;
    win32::Win32UiQueue queue(GetModuleHandleW(nullptr), [&](HWND window, UINT message) {
        if (full || ran.size() < 5) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        return PostMessageW(window, message, 0, 0) != FALSE;
    });
    for (const bool fromOtherThread : {true, false}) {
        ran.clear();
        full = true;
        const auto postAll = [&] {
            for (int i = 0; i < 40; ++i) {
                queue.post([&ran, i] { ran.push_back(i); });
            }
        };
        fromOtherThread ? std::thread(postAll).join() : postAll();
        full = false;
        const ULONGLONG deadline = GetTickCount64() + 5000;
        MSG msg;
        while (ran.size() < 40 && GetTickCount64() < deadline) {
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            } else {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            }
        }
        std::vector<int> expected(40);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(ran, expected) << (fromOtherThread ? "from another thread" : "from the GUI thread");
    }
}

} // namespace
} // namespace fw
