// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace fw {

// The code points of bytes 0x80-0x9F in Windows-1252, the code page the devices' firmware writes
// names and ESS-IDs in; every other byte is its Latin-1 character. The five bytes the code page
// leaves undefined keep their Latin-1 control code points, so that no two names read alike and a
// name read back from a report gives the device's bytes again.
inline constexpr std::array<char16_t, 32> kWindows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};

// A device's 8-bit text as UTF-8, for the windows and every output of the command line.
std::string deviceTextToUtf8(std::string_view bytes);
// UTF-8 back to a device's 8-bit text; a character the code page lacks becomes '?'.
std::string utf8ToDeviceText(std::string_view utf8);

} // namespace fw
