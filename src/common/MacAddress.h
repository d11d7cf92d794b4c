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

// Reads byte i from the two characters at position 3*i (0-based); the separators are not examined,
// so "00:0A:1B:2C:3D:4E" reads like "00-0A-1B-2C-3D-4E". Text too short or a non-hex digit gives no value.
std::optional<MacAddress> parseMacByPosition(std::string_view text);

} // namespace fw
