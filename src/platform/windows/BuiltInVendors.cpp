// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/BuiltInVendors.h"

#include <string>

namespace fw {

VendorTable BuiltInVendors::table() {
    return VendorTable::fromRegistries(registries(), std::string(date()));
}

} // namespace fw
