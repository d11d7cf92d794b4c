// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32ListExport.h"

#include "platform/FilePath.h"
#include "platform/FileReplace.h"
#include "platform/windows/WideText.h"
#include "win32/Win32MessageBox.h"

#include <array>
// windows.h (through the header) first: commdlg.h uses its types
#include <commdlg.h>

namespace fw::win32 {

// A name typed without an extension gets the chosen filter's (lpstrDefExt follows the filter in an
// Explorer-style dialog), so the format is the one the operator picked.
std::optional<std::string> Win32ListExport::chooseExportPath() {
    constexpr std::wstring_view kFilter = L"CSV (*.csv)\0*.csv\0JSON (*.json)\0*.json\0\0";
    const std::wstring filter(kFilter);
    std::array<wchar_t, 32768> path{}; // the longest path Windows takes
    const std::wstring_view initial = L"devices.csv";
    std::copy(initial.begin(), initial.end(), path.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = L"Export List";
    dialog.lpstrDefExt = L"csv";
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetSaveFileNameW(&dialog) == FALSE) {
        return std::nullopt;
    }
    return utf8Of(path.data());
}

Status<std::error_code> Win32ListExport::replaceFile(const std::string& path, const std::string& text) {
    return files::replaceFile(filePath(path), text);
}

void Win32ListExport::showMessage(const Message& message) {
    win32::showMessage(window_, message);
}

} // namespace fw::win32
