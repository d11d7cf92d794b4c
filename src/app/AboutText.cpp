// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AboutText.h"

#include "common/StringTable.h"

namespace fw {

std::string aboutVersionText(int major, int minor, int revision) {
    return std::string(loadResString(Str::Product)) + "  " + std::to_string(major) + '.' +
           std::to_string(minor) + '.' + std::to_string(revision);
}

std::string aboutVendorsText(const std::string& date) {
    return date.empty() ? std::string() : "MAC vendors: IEEE registries of " + date;
}

AboutText aboutText(int major, int minor, int revision) {
    return {std::string(loadResString(Str::Product)), aboutVersionText(major, minor, revision),
            std::string(loadResString(Str::RightsNotice)), std::string(loadResString(Str::Ok))};
}

} // namespace fw
