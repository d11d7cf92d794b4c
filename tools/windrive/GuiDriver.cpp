// SPDX-License-Identifier: GPL-3.0-or-later
// fwdrive.exe: drives a running fernwick.exe under wine, as an operator would (the lab test, the timings).
// It loads fwagent.dll (GuiAgent.cpp, beside it) into fernwick.exe once, then hands it one request
// and prints the answer:
//   fwdrive.exe [--until TEXT] [--timeout SECONDS] VERB ARGS...
//     windows                      the program's visible top-level windows: class and title
//     list                         the main window's list, a line per row
//     menus                        the menu bar's entries, "File/Exit" a line
//     menu "Edit/Search"           a menu entry's command, found by its text
//     popup ROW "Upgrade FW..."    a right click on row ROW (-1: empty space), then that entry
//     pick ROW                     a left click on row ROW
//     header COLUMN                a left click on the list's column header COLUMN
//     focus                        the active window's title, the focused control's class, the picked row
//     show TITLE                   a window's controls: class, enabled, text (a progress bar's position)
//     click TITLE BUTTON           presses a button by its text ("#N": the N-th button)
//     type TITLE N TEXT            the text of the window's N-th edit box
//     rows                         the main window's list's row count
//     stall-start                  starts timing how long the GUI thread stays away from its messages
//     stall-stop                   stops it: "stall WORST_MS MEDIAN_MS PROBES AT_MS CPU_MS NEXT_MS"
//     started                      when fernwick.exe's process was made (seconds since 1970)
// With --until it asks again every 0.2 s until the answer holds TEXT (exit 0) or the time is up
// (exit 1, the last answer printed).
#include <windows.h>
// windows.h first: the other system headers need its types.
#include <cstdio>
#include <cwchar>
#include <string>
#include <tlhelp32.h>

namespace {

DWORD fernwickProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD pid = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && pid == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"fernwick.exe") == 0) {
            pid = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return pid;
}

bool injectAgent(DWORD pid) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll = path;
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"fwagent.dll";
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (process == nullptr) {
        return false;
    }
    const SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool loaded = remote != nullptr && WriteProcessMemory(process, remote, dll.c_str(), bytes, nullptr);
    if (loaded) {
        auto* load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
        DWORD module = 0;
        loaded = thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
                 GetExitCodeThread(thread, &module) && module != 0;
        if (thread != nullptr) {
            CloseHandle(thread);
        }
    }
    CloseHandle(process);
    return loaded;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring until;
    double timeout = 10;
    int first = 1;
    for (; first + 1 < argc && argv[first][0] == L'-'; first += 2) {
        if (std::wcscmp(argv[first], L"--until") == 0) {
            until = argv[first + 1];
        } else {
            timeout = std::wcstod(argv[first + 1], nullptr);
        }
    }
    if (first < argc && std::wcscmp(argv[first], L"started") == 0) {
        // When fernwick.exe's process was made, in seconds since 1970 (for start-up timings).
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, fernwickProcess());
        FILETIME created{}, unused{};
        if (process == nullptr || !GetProcessTimes(process, &created, &unused, &unused, &unused)) {
            return 2;
        }
        const ULONGLONG ticks = (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
        std::printf("%.6f\n", static_cast<double>(ticks - 116444736000000000ULL) / 1e7);
        return 0;
    }
    std::wstring line;
    for (int i = first; i < argc; ++i) {
        line += (i > first ? L"\t" : L"") + std::wstring(argv[i]);
    }
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout * 1000);
    HANDLE request = nullptr;
    for (bool injected = false; request == nullptr; Sleep(100)) {
        request = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"fwagent-request");
        const DWORD pid = request == nullptr && !injected ? fernwickProcess() : 0;
        if (pid != 0) {
            injected = injectAgent(pid);
        }
        if (request == nullptr && GetTickCount64() > deadline) {
            std::fputs("fwdrive: no fernwick.exe to drive\n", stderr);
            return 2;
        }
    }
    HANDLE done = OpenEventW(SYNCHRONIZE, FALSE, L"fwagent-done");
    HANDLE page = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"fwagent-page");
    auto* text = static_cast<wchar_t*>(MapViewOfFile(page, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    std::wstring answer;
    for (;;) {
        wcscpy(text, line.c_str());
        SetEvent(request);
        if (WaitForSingleObject(done, 15000) != WAIT_OBJECT_0) {
            std::fputs("fwdrive: fernwick.exe did not answer\n", stderr);
            return 2;
        }
        answer = text;
        if (until.empty() || answer.find(until) != std::wstring::npos || GetTickCount64() > deadline) {
            break;
        }
        Sleep(200);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, answer.c_str(), static_cast<int>(answer.size()), nullptr,
                                         0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, answer.c_str(), static_cast<int>(answer.size()), utf8.data(), size,
                        nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return until.empty() || answer.find(until) != std::wstring::npos ? 0 : 1;
}
