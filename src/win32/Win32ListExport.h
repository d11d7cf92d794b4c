// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ListExport.h"
#include "platform/Host.h"

#include <windows.h>

namespace fw::win32 {

// File -> Export List... in the Win32 window: the common Save dialog, file replacement and message
// boxes under the export's logic.
class Win32ListExport final : private ListExport::View {
public:
    Win32ListExport(Host& host, HWND window) : host_(host), window_(window) {}

    ListExport& logic() { return logic_; }

private:
    std::optional<std::string> chooseExportPath() override;
    Status<std::error_code> replaceFile(const std::string& path, const std::string& text) override;
    void showMessage(const Message& message) override;

    Host& host_;
    HWND window_;
    ListExport logic_{*this};
};

} // namespace fw::win32
