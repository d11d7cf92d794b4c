// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32ListExport.h"

#include "common/StringTable.h"
#include "platform/FilePath.h"
#include "platform/FileReplace.h"
#include "platform/windows/WideText.h"
#include "win32/FileDialog.h"
#include "win32/Win32MessageBox.h"

#include <string>
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

// fernwick-cli.exe writes its standard output in text mode, LF as CR LF; the export writes the same
// bytes, so a file saved from either program is the same.
Status<std::error_code> Win32ListExport::replaceFile(const std::string& path, const std::string& text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 32);
    for (const char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    return files::replaceFile(filePath(path), lines);
}

void Win32ListExport::showMessage(const Message& message) {
    win32::showMessage(window_, message);
}

} // namespace fw::win32
