// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace fw {

// The one filter the open-file dialog offers: its name, whose brackets Qt reads the pattern from,
// and the pattern for dialogs that take it apart.
inline constexpr const char* kImageFilterName = "IMG FILE(*.bin)";
inline constexpr const char* kImageFilterPattern = "*.bin";

// The open-file dialog for firmware images.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path, or none when the operator cancelled.
    virtual std::optional<std::string> chooseImage(QWidget* parent) = 0;
};

} // namespace fw
