// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upgrade/ImageFilter.h"

#include <optional>
#include <string>

class QWidget;

namespace fw {

// The open-file dialog for firmware images, and the save dialog of File -> Export List...
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path, or none when the operator cancelled.
    virtual std::optional<std::string> chooseImage(QWidget* parent) = 0;
    // The path to export the list to, or none when the operator cancelled (none too where no dialog
    // is made, as in tests that never export).
    virtual std::optional<std::string> chooseExportPath(QWidget* /*parent*/) { return std::nullopt; }
};

} // namespace fw
