// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "qt/FileChooser.h"

namespace fw {

// The open-file dialog for firmware images and the export's save dialog, through QFileDialog.
class QtFileChooser final : public FileChooser {
public:
    // The one filter the dialog offers.
    static constexpr const char* kImageFilter = kImageFilterName;

    std::optional<std::string> chooseImage(QWidget* parent) override;
    std::optional<std::string> chooseExportPath(QWidget* parent) override;
};

} // namespace fw
