// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DeviceText.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// Bytes 0x80-0x9F are Windows-1252, the rest Latin-1; each character reads back to its byte.
TEST(DeviceText, HighControlsAreWindows1252AndTheRestLatin1) {
    const std::pair<const char*, const char*> cases[]{
        {"\x80", "\xE2\x82\xAC"}, // €
        {"\x96", "\xE2\x80\x93"}, // – (en dash)
        {"\x9F", "\xC5\xB8"},     // Ÿ
        {"\xE9", "\xC3\xA9"},     // é
        {"A", "A"},
        {"\x81", "\xC2\x81"}, // undefined in the code page: its Latin-1 control
    };
    for (const auto& [bytes, utf8] : cases) {
        EXPECT_EQ(deviceTextToUtf8(bytes), utf8) << static_cast<int>(static_cast<unsigned char>(*bytes));
        EXPECT_EQ(utf8ToDeviceText(utf8), bytes) << utf8;
    }
    EXPECT_EQ(utf8ToDeviceText("\xE2\x84\xA2\xE2\x86\x92"), "\x99?") << "™ is 0x99; → has no byte";
}

} // namespace
} // namespace fw
