// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick.exe: the window on Windows. No command line of its own, no settings, no environment of
// its own.

#include "engine/Engine.h"
#include "guilink/EngineLink.h"
#include "platform/SystemHost.h"
#include "platform/windows/InstanceLock.h"
#include "win32/DpiApi.h"
#include "win32/MainFrame.h"
#include "win32/Win32Context.h"
#include "win32/Win32Shell.h"
#include "win32/Win32UiQueue.h"

#include <windows.h>
// windows.h first: the headers below use its types
#include <commctrl.h>

namespace {

int runMessageLoop(fw::win32::MainFrame& frame) {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Enter, Escape and the access keys in the non-modal Searching window.
        HWND active = GetActiveWindow();
        if (active != nullptr && active != frame.window() && IsDialogMessageW(active, &msg)) {
            continue;
        }
        if (frame.moveFocusOnTab(msg) || frame.commandKey(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // A second copy of the same user, in any of the user's sessions, ends at once and silently,
    // leaving the running one alone.
    const fw::InstanceLock lock(L"Fernwick");
    if (!lock.acquired()) {
        return 0;
    }
    const fw::win32::DpiApi dpi;
    // The manifest declares per-monitor DPI awareness v2; a build without it says so here.
    if (FindResourceW(nullptr, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST) == nullptr) {
        dpi.becomeAware();
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    fw::win32::Win32UiQueue queue(instance);
    fw::SystemHost host;
    fw::win32::Win32Shell shell;
    // Sockets and timers run on the engine's own thread; the windows post to it.
    fw::engine::Engine engine;
    engine.startThread();
    const fw::EngineLink link{engine, engine.endpoints()};
    const fw::win32::Win32Context context{instance, host, shell, link, queue, dpi};
    int status = 0;
    {
        fw::win32::MainFrame frame(context);
        frame.show(show);
        status = runMessageLoop(frame);
        engine.stop(); // before the dialogs' run-long state goes
    }
    return status;
}
