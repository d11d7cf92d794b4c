// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/MacAddress.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(MacAddress, ParsesOneSeparatorThroughoutOrNone) {
    const MacAddress mac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    const std::pair<const char*, bool> cases[] = {
        {"00-0A-1B-2C-3D-4E", true},   {"00:0a:1b:2c:3d:4e", true},   {"000A1B2C3D4E", true},
        {"00-0A-1B-2C-3D", false},     {"00-0A-1B-2C-3D-4G", false},  {"00-0A:1B-2C-3D-4E", false},
        {"00-0A-1B-2C-3D-4E-", false}, {"00.0A.1B.2C.3D.4E", false},  {"0-0A-1B-2C-3D-4E0", false},
        {"000A1B2C3D4", false},        {" 00-0A-1B-2C-3D-4E", false}, {"", false},
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(parseMac(text), valid ? std::optional(mac) : std::nullopt) << text;
    }
}

} // namespace
} // namespace fw
