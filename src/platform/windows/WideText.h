// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Windows speaks UTF-16; the program's text is UTF-8 throughout. The 8-bit ("ANSI") API would
// turn every character outside the user's code page into '?', so nothing goes through it.
std::string utf8Of(std::wstring_view wide);
std::wstring wideOf(std::string_view utf8);

// A command line split into arguments by the system's rules (CommandLineToArgvW: quotes,
// backslashes before a quote), each as UTF-8.
std::vector<std::string> utf8Arguments(const wchar_t* commandLine);

} // namespace fw
