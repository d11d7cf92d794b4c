// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace fw::terminal {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

unsigned useUtf8Console() {
    return 0;
}

void restoreConsole(unsigned /*previous*/) {}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

int columns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

} // namespace fw::terminal
