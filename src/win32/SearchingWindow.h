// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/SearchCountdown.h"
#include "win32/Win32Window.h"
#include "win32/WindowMetrics.h"

#include <functional>
#include <memory>
#include <windows.h>

namespace fw::win32 {

// The Searching dialog: non-modal over the main window, a label, a bar 0-14 and Cancel. It runs the
// 15 x 0.2 s countdown on a timer, so replies and clicks are handled while it waits. Cancel (a click,
// Space or Enter), Escape and the frame's close button all stop it at the next step. When the
// countdown is over the window goes and `ended` is called; the object may then be dropped.
class SearchingWindow final : public Win32Window<SearchingWindow> {
public:
    SearchingWindow(HINSTANCE instance, const DpiApi& dpi, HWND owner, std::function<void()> ended);
    ~SearchingWindow();
    SearchingWindow(const SearchingWindow&) = delete;
    SearchingWindow& operator=(const SearchingWindow&) = delete;

    void start();

private:
    friend Win32Window<SearchingWindow>;
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Shows the step and waits it out, or closes when the countdown is over.
    void advance(std::optional<SearchCountdown::Step> step);

    SearchCountdown countdown_;
    std::function<void()> ended_;
    HWND bar_ = nullptr;
    HWND cancel_ = nullptr;
    std::unique_ptr<WindowMetrics> metrics_;
};

} // namespace fw::win32
