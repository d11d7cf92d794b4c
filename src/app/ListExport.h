// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Message.h"
#include "common/Result.h"
#include "common/VendorTable.h"
#include "discovery/DeviceRows.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace fw {

// File -> Export List...: every row of the list, in the list's order, to a file the operator
// names, written as `fernwick-cli search` writes it: JSON when the name ends in .json (any letter
// case), CSV otherwise. The file is replaced whole or not at all; why it could not be is said in a
// message box. An empty list gives the CSV header or [].
class ListExport final {
public:
    enum class Format : std::uint8_t { Csv, Json };

    class View {
    public:
        // The Save dialog: the path the operator chose (UTF-8), none when cancelled.
        virtual std::optional<std::string> chooseExportPath() = 0;
        // Replaces the file at `path` by one holding `text`, written beside it and renamed, or
        // leaves it as it was: the system's reason.
        virtual Status<std::error_code> replaceFile(const std::string& path, const std::string& text) = 0;
        virtual void showMessage(const Message& message) = 0;

    protected:
        ~View() = default;
    };

    explicit ListExport(View& view) : view_(view) {}

    void run(const DeviceRows& rows, const AdapterTable& adapters, const VendorTable& vendors);

    static Format formatFor(const std::string& path);
    // The file's text, as the command line writes the same rows.
    static std::string text(const DeviceRows& rows, const AdapterTable& adapters, const VendorTable& vendors,
                            Format format);

private:
    View& view_;
};

} // namespace fw
