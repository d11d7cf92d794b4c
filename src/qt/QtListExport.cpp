// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/QtListExport.h"

#include "platform/FilePath.h"
#include "platform/FileReplace.h"

namespace fw {

std::optional<std::string> QtListExport::chooseExportPath() {
    return platform_.files.chooseExportPath(window_);
}

Status<std::error_code> QtListExport::replaceFile(const std::string& path, const std::string& text) {
    return files::replaceFile(filePath(path), text);
}

void QtListExport::showMessage(const Message& message) {
    platform_.messages.show(window_, message);
}

} // namespace fw
