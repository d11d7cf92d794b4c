// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick.exe: the window on Windows. No command line of its own, no settings, no environment of
// its own.

#include "engine/Engine.h"
#include "guilink/EngineLink.h"
#include "platform/SystemHost.h"
#include "win32/MainFrame.h"
#include "win32/Win32Context.h"
#include "win32/Win32Shell.h"
#include "win32/Win32UiQueue.h"

#include <string>
#include <windows.h>
// windows.h first: the headers below use its types
#include <commctrl.h>
#include <sddl.h>

namespace {

// The user's SID as text, or the user name where the token cannot say.
std::wstring userKey() {
    std::wstring key;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) != 0) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::string buffer(size, '\0');
        wchar_t* sid = nullptr;
        if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0 &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid) != 0) {
            key = sid;
            LocalFree(sid);
        }
        CloseHandle(token);
    }
    if (key.empty()) {
        std::wstring name(256, L'\0');
        DWORD length = static_cast<DWORD>(name.size());
        if (GetUserNameW(name.data(), &length) != 0 && length > 0) {
            name.resize(length - 1);
            key = name;
        }
    }
    return key;
}

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
    // A second copy of the same user ends at once and silently, leaving the running one alone.
    const std::wstring lockName = L"Local\\Fernwick-" + userKey();
    HANDLE lock = CreateMutexW(nullptr, FALSE, lockName.c_str());
    if (lock != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        return 0;
    }
    // The manifest declares per-monitor DPI awareness v2; a build without it says so here.
    if (FindResourceW(nullptr, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST) == nullptr) {
        SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
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
    const fw::win32::Win32Context context{instance, host, shell, link, queue};
    int status = 0;
    {
        fw::win32::MainFrame frame(context);
        frame.show(show);
        status = runMessageLoop(frame);
        engine.stop(); // before the dialogs' run-long state goes
    }
    if (lock != nullptr) {
        CloseHandle(lock);
    }
    return status;
}
