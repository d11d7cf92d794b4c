// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/VendorTable.h"

#include <filesystem>

namespace fw {

// Debian's ieee-data package: the IEEE's MA-L, MA-M, MA-S and IAB registries as CSV files, and the
// time they were fetched (.lastupdate, seconds since 1970). Files that are missing are left out;
// without the package the table knows only locally administered MACs.
class IeeeDataFiles {
public:
    static constexpr const char* kFolder = "/usr/share/ieee-data";

    static VendorTable read(const std::filesystem::path& folder = kFolder);
};

} // namespace fw
