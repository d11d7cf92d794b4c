// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Terminal.h"

#include "platform/windows/WideText.h"

#include <windows.h>
// windows.h first: io.h's handles are its HANDLEs.
#include <io.h>

namespace fw::terminal {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args = utf8Arguments(GetCommandLineW());
    if (args.empty()) {
        args.assign(argv, argv + argc);
    }
    return args;
}

unsigned useUtf8Console() {
    const UINT current = GetConsoleOutputCP(); // 0 without a console
    return current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0 ? current : 0;
}

void restoreConsole(unsigned previous) {
    if (previous != 0) {
        SetConsoleOutputCP(previous);
    }
}

// A console also gets to understand the escape that clears the progress line's rest (ESC [ K),
// which Windows 10's console does only when asked.
bool isTerminal(std::FILE* stream) {
    if (_isatty(_fileno(stream)) == 0) {
        return false;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) != 0) {
        SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    return true;
}

int columns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info) != 0) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    return 80;
}

} // namespace fw::terminal
