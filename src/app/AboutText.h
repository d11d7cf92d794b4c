// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace fw {

// The About box (frmAbout): its title, the version line, the rights notice and its one button.
struct AboutText {
    std::string title;
    std::string version;
    std::string notice;
    std::string ok;
};

// The product name, two blanks, then major.minor.revision in plain decimal.
std::string aboutVersionText(int major, int minor, int revision);
// "MAC vendors: IEEE registries of 2022-08-27" for a vendor table of that date; empty without one.
std::string aboutVendorsText(const std::string& date);
// The texts for this build's version.
AboutText aboutText(int major, int minor, int revision);

} // namespace fw
