// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <windows.h>

namespace fw::win32 {

// The common Open and Save dialogs (comdlg32), Explorer style, over a buffer for the longest path
// Windows takes; the folder the program runs in stays as it was.
class FileDialog {
public:
    enum class Kind : std::uint8_t { Open, Save };
    struct Options {
        std::wstring filter;                       // "name\0pattern\0" pairs, ending in a further "\0"
        std::wstring initialName;                  // what the name box holds at first
        const wchar_t* title = nullptr;            // the dialog's own when null
        const wchar_t* defaultExtension = nullptr; // given to a name typed without one
        DWORD flags = 0; // besides OFN_EXPLORER, OFN_PATHMUSTEXIST, OFN_HIDEREADONLY, OFN_NOCHANGEDIR
    };

    // The path the operator chose, in UTF-8; none when cancelled.
    static std::optional<std::string> choose(Kind kind, HWND owner, const Options& options);
};

} // namespace fw::win32
