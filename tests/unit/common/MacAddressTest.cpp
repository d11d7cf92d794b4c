#include "common/MacAddress.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(MacAddress, FormatsUpperCaseWithDashes) {
    EXPECT_EQ(formatMac({0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}), "00-0A-1B-2C-3D-4E");
    EXPECT_EQ(formatMac({0xFF, 0xab, 0x01, 0x10, 0x00, 0x0f}), "FF-AB-01-10-00-0F");
    EXPECT_EQ(hexByte(0x05), "05");
}

TEST(MacAddress, ParsesByPositionWhateverTheSeparator) {
    const MacAddress expected{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    EXPECT_EQ(parseMacByPosition("00-0A-1B-2C-3D-4E"), expected);
    EXPECT_EQ(parseMacByPosition("00:0A:1B:2C:3D:4E"), expected);
    EXPECT_EQ(parseMacByPosition("00:0a:1b:2c:3d:4e"), expected);
    EXPECT_FALSE(parseMacByPosition("00-0A-1B-2C-3D-4").has_value());
    EXPECT_FALSE(parseMacByPosition("00-0A-1B-2C-3D-4G").has_value());
    EXPECT_FALSE(parseMacByPosition("").has_value());
}

} // namespace
} // namespace fw
