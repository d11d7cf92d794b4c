// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What the command-line program needs of the terminal it runs in, one implementation per system
// (linux/Terminal.cpp, windows/Terminal.cpp).
namespace fw::terminal {

// The program's arguments as UTF-8: on Windows read again from the UTF-16 command line (argv holds
// them in the ANSI code page, which loses every other character), elsewhere argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Lets a console show the UTF-8 text the program writes: Windows' console reads output in its own
// code page (the OEM one) unless told. The console's code page outlives the program, so what it
// was is returned for restoreConsole(); elsewhere nothing changes.
unsigned useUtf8Console();
void restoreConsole(unsigned previous);

// Whether the stream is a terminal, and its width in columns (80 when unknown).
bool isTerminal(std::FILE* stream);
int columns(std::FILE* stream);

} // namespace fw::terminal
