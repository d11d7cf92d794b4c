// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32Clipboard.h"

#include "platform/windows/WideText.h"

#include <cstring>
#include <string>

namespace fw::win32 {

bool putClipboardText(HWND owner, std::string_view utf8) {
    std::wstring text;
    for (const wchar_t c : wideOf(utf8)) {
        if (c == L'\n') {
            text += L'\r';
        }
        text += c;
    }
    // The clipboard takes memory from GlobalAlloc and owns it once SetClipboardData succeeds.
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void* at = GlobalLock(memory);
    if (at == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(at, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (OpenClipboard(owner) == 0) {
        GlobalFree(memory);
        return false;
    }
    const bool taken = EmptyClipboard() != 0 && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!taken) {
        GlobalFree(memory);
    }
    return taken;
}

} // namespace fw::win32
