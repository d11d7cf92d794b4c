// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>
#include <windows.h>

namespace fw::win32 {

// Puts UTF-8 text on the clipboard as CF_UNICODETEXT, its "\n" line ends as Windows' CR LF. False
// when the clipboard could not be had (another program holds it, or memory ran out); the clipboard
// then keeps what it held.
bool putClipboardText(HWND owner, std::string_view utf8);

} // namespace fw::win32
