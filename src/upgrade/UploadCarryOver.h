// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace fw {

// What one firmware transfer leaves to the next in the same run of the program. The percent is not
// reset between transfers: an image too small for a percent (under 50 bytes) shows the last one.
struct UploadCarryOver {
    std::int16_t percent = 0;
};

} // namespace fw
