// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32Shell.h"

#include "platform/windows/WideText.h"

#include <windows.h>
// windows.h first: the headers below use its types
#include <shellapi.h>

namespace fw::win32 {

void Win32Shell::openUrl(const std::string& url) {
    ShellExecuteW(nullptr, L"open", wideOf(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace fw::win32
