// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/VendorTable.h"

#include <span>
#include <string_view>

namespace fw {

// Windows has no copy of the IEEE's registries: the program carries one, made at build time from
// the build machine's ieee-data files (tools/vendortable) and read when first asked for.
class BuiltInVendors {
public:
    static VendorTable table();
    // When the build machine's registries were fetched ("2022-08-27"), for Help -> About.
    static std::string_view date();

private:
    // The generated source's: the registries' lines that name a vendor, as
    // "Registry,Assignment,Organization Name", in pieces of whole lines.
    static std::span<const std::string_view> registries();
};

} // namespace fw
