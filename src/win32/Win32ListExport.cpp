// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32ListExport.h"

#include "common/StringTable.h"
#include "platform/FilePath.h"
#include "platform/FileReplace.h"
#include "platform/windows/WideText.h"
#include "win32/FileDialog.h"
#include "win32/Win32MessageBox.h"

#include <string_view>
// windows.h (through the header) first: commdlg.h uses its types
#include <commdlg.h>

namespace fw::win32 {

// A name typed without an extension gets the chosen filter's (lpstrDefExt follows the filter in an
// Explorer-style dialog), so the format is the one the operator picked.
std::optional<std::string> Win32ListExport::chooseExportPath() {
    const std::wstring title = wideOf(loadResString(Str::ExportListTitle));
    constexpr std::wstring_view kFilter = L"CSV (*.csv)\0*.csv\0JSON (*.json)\0*.json\0\0";
    return FileDialog::choose(
        FileDialog::Kind::Save, window_,
        {std::wstring(kFilter), L"devices.csv", title.c_str(), L"csv", OFN_OVERWRITEPROMPT});
}

Status<std::error_code> Win32ListExport::replaceFile(const std::string& path, const std::string& text) {
    return files::replaceFile(filePath(path), text);
}

void Win32ListExport::showMessage(const Message& message) {
    win32::showMessage(window_, message);
}

} // namespace fw::win32
