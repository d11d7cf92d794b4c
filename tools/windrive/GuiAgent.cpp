// SPDX-License-Identifier: GPL-3.0-or-later
// fwagent.dll: loaded into fernwick.exe by fwdrive.exe (GuiDriver.cpp) to look at and work its
// windows from inside. wine keeps a process's menus to itself (another process's GetMenuItemCount
// fails), so menus and popups are found by their text in here; everything else is window
// messages to the GUI thread, as an operator's input would be. One request at a time: the driver
// writes a line of tab-separated words into the shared page and sets the request event; the
// answer, lines of tab-separated words, replaces it and the done event is set.
#include <windows.h>
// windows.h first: the other system headers need its types.
#include <algorithm>
#include <atomic>
#include <commctrl.h>
#include <mmsystem.h>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPageBytes = 1 << 16;

std::wstring clean(std::wstring text) {
    // A menu item's "&" marks its mnemonic and "\t" starts its accelerator's name.
    if (const auto tab = text.find(L'\t'); tab != std::wstring::npos) {
        text.resize(tab);
    }
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i; // "&&" is a plain "&"
        }
        out += text[i];
    }
    return out;
}

std::wstring windowText(HWND w) {
    std::wstring s(static_cast<std::size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    s.resize(static_cast<std::size_t>(GetWindowTextW(w, s.data(), static_cast<int>(s.size()))));
    return s;
}

std::wstring className(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::vector<HWND> topWindows() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND w, LPARAM list) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(w)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A message box may share its title with the window that shows it: the message box goes first.
HWND byTitle(const std::wstring& title) {
    HWND found = nullptr;
    for (HWND w : topWindows()) {
        if (windowText(w) == title && (found == nullptr || className(w) == L"#32770")) {
            found = w;
        }
    }
    return found;
}

HWND mainWindow() {
    for (HWND w : topWindows()) {
        if (GetMenu(w) != nullptr) {
            return w;
        }
    }
    return nullptr;
}

HWND childOfClass(HWND parent, const wchar_t* cls) {
    for (HWND c : children(parent)) {
        if (className(c) == cls) {
            return c;
        }
    }
    return nullptr;
}

// The position of the item called `text` in `menu`, or -1.
int itemPosition(HMENU menu, const std::wstring& text) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t buf[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), buf, 128, MF_BYPOSITION);
        if (clean(buf) == text) {
            return i;
        }
    }
    return -1;
}

void pressKey(HWND w, WPARAM key) {
    PostMessageW(w, WM_KEYDOWN, key, 1);
    PostMessageW(w, WM_KEYUP, key, 0xC0000001);
}

// "Edit/Search": the entry's command goes to the window as its click would send it.
std::wstring menuCommand(const std::wstring& path) {
    HWND main = mainWindow();
    HMENU menu = main ? GetMenu(main) : nullptr;
    const std::size_t slash = path.find(L'/');
    const int top = menu ? itemPosition(menu, path.substr(0, slash)) : -1;
    HMENU sub = top >= 0 ? GetSubMenu(menu, top) : nullptr;
    const int item = sub ? itemPosition(sub, path.substr(slash + 1)) : -1;
    if (item < 0) {
        return L"missing";
    }
    if ((GetMenuState(sub, static_cast<UINT>(item), MF_BYPOSITION) & MF_GRAYED) != 0) {
        return L"disabled";
    }
    PostMessageW(main, WM_COMMAND, GetMenuItemID(sub, item), 0);
    return L"ok";
}

// A right click on row `row` of the list (on empty space below the rows when row is -1), then
// the popup's item `text` chosen with the arrow keys and Enter, as from the keyboard.
std::wstring popupCommand(int row, const std::wstring& text) {
    HWND list = childOfClass(mainWindow(), WC_LISTVIEWW);
    if (list == nullptr) {
        return L"no list";
    }
    RECT r{};
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (row >= 0) {
        r.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    } else {
        RECT last{LVIR_BOUNDS, 0, 0, 0};
        GetClientRect(list, &r);
        if (count > 0) {
            SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(count - 1),
                         reinterpret_cast<LPARAM>(&last));
            r.top = last.bottom;
        }
        r.left = r.right - 40;
    }
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(list, WM_RBUTTONUP, 0, at);
    HWND popup = nullptr;
    for (int i = 0; i < 100 && popup == nullptr; ++i) {
        Sleep(50);
        popup = FindWindowW(L"#32768", nullptr);
    }
    if (popup == nullptr) {
        return L"no popup";
    }
    auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    const int item = itemPosition(menu, text);
    UINT state = item >= 0 ? GetMenuState(menu, static_cast<UINT>(item), MF_BYPOSITION) : 0;
    if (item < 0 || (state & MF_GRAYED) != 0) {
        pressKey(popup, VK_ESCAPE);
        return item < 0 ? L"missing" : L"disabled";
    }
    for (int i = 0; i <= item; ++i) {
        if ((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) == 0) {
            pressKey(popup, VK_DOWN);
        }
    }
    pressKey(popup, VK_RETURN);
    return L"ok";
}

// A left click on row `row` of the list, as the operator picks a row before working it by keys.
std::wstring pickCommand(int row) {
    HWND list = childOfClass(mainWindow(), WC_LISTVIEWW);
    if (list == nullptr) {
        return L"no list";
    }
    RECT r{LVIR_LABEL, 0, 0, 0};
    if (SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)) == 0) {
        return L"no row";
    }
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    return L"ok";
}

// A left click on the list's column header `column`, as the operator sorts by it.
std::wstring headerCommand(int column) {
    HWND list = childOfClass(mainWindow(), WC_LISTVIEWW);
    HWND header = list ? reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)) : nullptr;
    RECT r{};
    if (header == nullptr || SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                                          reinterpret_cast<LPARAM>(&r)) == 0) {
        return L"no column";
    }
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(header, WM_LBUTTONUP, 0, at);
    return L"ok";
}

// "focus ACTIVE_TITLE FOCUS_CLASS PICKED": the GUI thread's active window, the class of the control
// with the keyboard focus ("none" without one) and the list's selected row (-1: none), for the keys
// typed through the X server to be checked against.
std::wstring focusState() {
    HWND main = mainWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (main == nullptr || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) {
        return L"no window\n";
    }
    HWND list = childOfClass(main, WC_LISTVIEWW);
    const auto picked = list ? static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                             MAKELPARAM(LVNI_SELECTED, 0)))
                             : -1;
    return L"focus\t" + (info.hwndActive ? windowText(info.hwndActive) : L"none") + L"\t" +
           (info.hwndFocus ? className(info.hwndFocus) : L"none") + L"\t" + std::to_wstring(picked) + L"\n";
}

// The clipboard's Unicode text on one line, its CR and LF written as \r and \n.
std::wstring clipboardText() {
    std::wstring out = L"clipboard\t";
    if (OpenClipboard(nullptr) == 0) {
        return L"no clipboard\n";
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            for (const wchar_t* c = text; *c != L'\0'; ++c) {
                out += *c == L'\r' ? L"\\r" : *c == L'\n' ? L"\\n" : std::wstring(1, *c);
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out + L"\n";
}

std::wstring listRows() {
    HWND list = childOfClass(mainWindow(), WC_LISTVIEWW);
    if (list == nullptr) {
        return L"no list\n";
    }
    const auto columns = static_cast<int>(SendMessageW(
        reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    std::wstring out;
    for (int row = 0; row < static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++row) {
        for (int column = 0; column < columns; ++column) {
            wchar_t buf[256] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = buf;
            item.cchTextMax = 256;
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            out += (column ? L"\t" : L"row\t") + std::wstring(buf);
        }
        out += L"\n";
    }
    return out;
}

// A window's controls: class, enabled (1/0) and text; a progress bar's position as its text.
std::wstring controls(HWND w) {
    std::wstring out = L"window\t" + windowText(w) + L"\n";
    for (HWND c : children(w)) {
        const std::wstring cls = className(c);
        const std::wstring text =
            cls == PROGRESS_CLASSW ? std::to_wstring(SendMessageW(c, PBM_GETPOS, 0, 0)) : windowText(c);
        out += cls + L"\t" + (IsWindowEnabled(c) ? L"1\t" : L"0\t") + text + L"\n";
    }
    return out;
}

// How long the GUI thread stays away from its message loop. A thread of the agent sends the main
// window a message every millisecond and waits for the answer, which the GUI thread gives the next
// time it looks at its messages (in any loop: the main one, a dialog's, a message box's); the
// longest wait is the longest stall, plus one trip through wineserver (the median wait says how
// long that trip is). SetTimer would not do: it ticks every 10 ms at best. timeBeginPeriod(1)
// asks for the 1 ms tick Sleep(1) needs on Windows (15.6 ms otherwise).
class StallProbe {
public:
    StallProbe() = default;
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;
    ~StallProbe() { stop(); }

    std::wstring start(HWND window) {
        if (window == nullptr || thread_ != nullptr) {
            return window == nullptr ? L"no window\n" : L"running\n";
        }
        window_ = window;
        waitsMs_.clear();
        worstAtMs_ = worstCpuMs_ = 0;
        running_ = true;
        thread_ = CreateThread(nullptr, 0, loop, this, 0, nullptr);
        return L"ok\n";
    }

    // "stall WORST_MS MEDIAN_MS PROBES AT_MS CPU_MS NEXT_MS": the longest and the median wait, how
    // many probes, when the longest began (from the start), the CPU time the GUI thread used in it,
    // and the next longest wait.
    std::wstring stop() {
        if (thread_ == nullptr) {
            return L"not running\n";
        }
        running_ = false;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
        if (waitsMs_.empty()) {
            return L"no probes\n";
        }
        std::vector<double> sorted = waitsMs_;
        std::sort(sorted.begin(), sorted.end());
        return L"stall\t" + std::to_wstring(sorted.back()) + L"\t" +
               std::to_wstring(sorted[sorted.size() / 2]) + L"\t" + std::to_wstring(sorted.size()) + L"\t" +
               std::to_wstring(worstAtMs_) + L"\t" + std::to_wstring(worstCpuMs_) + L"\t" +
               std::to_wstring(sorted[sorted.size() - (sorted.size() > 1 ? 2 : 1)]) + L"\n";
    }

private:
    static DWORD WINAPI loop(LPVOID self) {
        static_cast<StallProbe*>(self)->probe();
        return 0;
    }

    // The user and kernel time a thread has used.
    static double cpuMs(HANDLE thread) {
        FILETIME made{}, ended{}, kernel{}, user{};
        if (!GetThreadTimes(thread, &made, &ended, &kernel, &user)) {
            return 0;
        }
        const auto ticks = [](FILETIME t) {
            return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime;
        };
        return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4; // 100 ns units
    }

    void probe() {
        timeBeginPeriod(1);
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        const auto ms = [&](LONGLONG ticks) {
            return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
        };
        HANDLE gui =
            OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, GetWindowThreadProcessId(window_, nullptr));
        LARGE_INTEGER begun{};
        QueryPerformanceCounter(&begun);
        double worst = -1;
        while (running_) {
            LARGE_INTEGER sent{};
            LARGE_INTEGER answered{};
            DWORD_PTR result = 0;
            const double cpuBefore = cpuMs(gui);
            QueryPerformanceCounter(&sent);
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            QueryPerformanceCounter(&answered);
            const double wait = ms(answered.QuadPart - sent.QuadPart);
            if (wait > worst) {
                worst = wait;
                worstAtMs_ = ms(sent.QuadPart - begun.QuadPart);
                worstCpuMs_ = cpuMs(gui) - cpuBefore;
            }
            waitsMs_.push_back(wait);
            Sleep(1);
        }
        CloseHandle(gui);
        timeEndPeriod(1);
    }

    HWND window_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<bool> running_{false};
    std::vector<double> waitsMs_;
    double worstAtMs_ = 0;
    double worstCpuMs_ = 0;
};

std::wstring run(const std::vector<std::wstring>& words, StallProbe& stall) {
    const std::wstring& verb = words.at(0);
    if (verb == L"stall-start") {
        return stall.start(mainWindow());
    }
    if (verb == L"stall-stop") {
        return stall.stop();
    }
    if (verb == L"rows") { // the list's row count alone: 1,000 rows' texts would not fit the page
        HWND list = childOfClass(mainWindow(), WC_LISTVIEWW);
        return list ? L"rows\t" + std::to_wstring(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) + L"\n"
                    : L"no list\n";
    }
    if (verb == L"windows") {
        std::wstring out;
        for (HWND w : topWindows()) {
            out += L"window\t" + className(w) + L"\t" + windowText(w) + L"\n";
        }
        return out;
    }
    if (verb == L"list") {
        return listRows();
    }
    if (verb == L"clipboard") {
        return clipboardText();
    }
    if (verb == L"menus") { // the menu bar's entries, "Top/Entry" a line
        std::wstring out;
        HMENU bar = mainWindow() ? GetMenu(mainWindow()) : nullptr;
        for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
            wchar_t top[128] = {};
            GetMenuStringW(bar, static_cast<UINT>(i), top, 128, MF_BYPOSITION);
            HMENU sub = GetSubMenu(bar, i);
            for (int j = 0; sub && j < GetMenuItemCount(sub); ++j) {
                wchar_t item[128] = {};
                GetMenuStringW(sub, static_cast<UINT>(j), item, 128, MF_BYPOSITION);
                out += clean(top) + L"/" + clean(item) + L"\n";
            }
        }
        return out;
    }
    if (verb == L"menu") {
        return menuCommand(words.at(1)) + L"\n";
    }
    if (verb == L"pick") {
        return pickCommand(std::stoi(words.at(1))) + L"\n";
    }
    if (verb == L"header") {
        return headerCommand(std::stoi(words.at(1))) + L"\n";
    }
    if (verb == L"focus") {
        return focusState();
    }
    if (verb == L"popup") {
        return popupCommand(std::stoi(words.at(1)), words.at(2)) + L"\n";
    }
    HWND w = byTitle(words.at(1));
    if (w == nullptr) {
        return L"no window\n";
    }
    if (verb == L"show") {
        return controls(w);
    }
    if (verb == L"click") { // a button by its text, or "#N": the N-th button (0-based, creation order)
        int n = words.at(2).starts_with(L"#") ? std::stoi(words.at(2).substr(1)) : -1;
        for (HWND c : children(w)) {
            if (className(c) == WC_BUTTONW && (n < 0 ? clean(windowText(c)) == words.at(2) : n-- == 0)) {
                PostMessageW(c, BM_CLICK, 0, 0);
                return L"ok\n";
            }
        }
        return L"missing\n";
    }
    if (verb == L"type") { // the n-th edit box (0-based, in creation order) gets a text
        int n = std::stoi(words.at(2));
        for (HWND c : children(w)) {
            if (className(c) == WC_EDITW && n-- == 0) {
                SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(words.at(3).c_str()));
                return L"ok\n";
            }
        }
        return L"missing\n";
    }
    return L"unknown\n";
}

DWORD WINAPI serve(LPVOID) {
    HANDLE page =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPageBytes, L"fwagent-page");
    auto* text = static_cast<wchar_t*>(MapViewOfFile(page, FILE_MAP_ALL_ACCESS, 0, 0, kPageBytes));
    HANDLE request = CreateEventW(nullptr, FALSE, FALSE, L"fwagent-request");
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, L"fwagent-done");
    InitCommonControls();
    StallProbe stall;
    while (WaitForSingleObject(request, INFINITE) == WAIT_OBJECT_0) {
        std::vector<std::wstring> words{L""};
        for (const wchar_t* p = text; *p != L'\0'; ++p) {
            if (*p == L'\t') {
                words.emplace_back();
            } else {
                words.back().push_back(*p);
            }
        }
        std::wstring answer;
        try {
            answer = run(words, stall);
        } catch (const std::exception&) {
            answer = L"bad request\n";
        }
        answer.resize(std::min<std::size_t>(answer.size(), kPageBytes / sizeof(wchar_t) - 1));
        wcscpy(text, answer.c_str());
        SetEvent(done);
    }
    return 0;
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        CloseHandle(CreateThread(nullptr, 0, serve, nullptr, 0, nullptr));
    }
    return TRUE;
}
