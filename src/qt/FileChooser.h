// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upgrade/ImageFilter.h"

#include <optional>
#include <string>

class QWidget;

namespace fw {

// The open-file dialog for firmware images.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path, or none when the operator cancelled.
    virtual std::optional<std::string> chooseImage(QWidget* parent) = 0;
};

} // namespace fw
