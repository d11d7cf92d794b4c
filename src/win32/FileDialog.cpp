// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/FileDialog.h"

#include "platform/windows/WideText.h"

#include <algorithm>
#include <vector>
// windows.h (through the header) first: commdlg.h uses its types
#include <commdlg.h>

namespace fw::win32 {

std::optional<std::string> FileDialog::choose(Kind kind, HWND owner, const Options& options) {
    std::vector<wchar_t> path(32768, L'\0'); // the longest path Windows takes
    std::copy_n(options.initialName.begin(), std::min(options.initialName.size(), path.size() - 1),
                path.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = options.filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = options.title;
    dialog.lpstrDefExt = options.defaultExtension;
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | options.flags;
    const BOOL chosen = kind == Kind::Open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    if (chosen == FALSE) {
        return std::nullopt;
    }
    return utf8Of(path.data());
}

} // namespace fw::win32
