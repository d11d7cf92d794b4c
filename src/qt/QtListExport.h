// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ListExport.h"
#include "qt/Platform.h"

class QWidget;

namespace fw {

// File -> Export List... in the Qt window: the platform's save dialog, file replacement and
// message boxes under the export's logic.
class QtListExport final : private ListExport::View {
public:
    QtListExport(Platform& platform, QWidget* window) : platform_(platform), window_(window) {}

    ListExport& logic() { return logic_; }

private:
    std::optional<std::string> chooseExportPath() override;
    Status<std::error_code> replaceFile(const std::string& path, const std::string& text) override;
    void showMessage(const Message& message) override;

    Platform& platform_;
    QWidget* window_;
    ListExport logic_{*this};
};

} // namespace fw
