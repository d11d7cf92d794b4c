// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

using MacAddress = std::array<std::uint8_t, 6>;

// Two upper-case hexadecimal digits ("0A").
std::string hexByte(std::uint8_t value);

// Six groups joined by '-': 00-0A-1B-2C-3D-4E.
std::string formatMac(const MacAddress& mac);

// Six two-digit hexadecimal groups, either letter case: 00-0A-1B-2C-3D-4E, 00:0a:1b:2c:3d:4e
// (one separator, the same throughout) or 000A1B2C3D4E. Anything else gives no value.
std::optional<MacAddress> parseMac(std::string_view text);

} // namespace fw
