// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace fw {

// The number an operator or a caller means by a piece of an address: blanks (space, tab, line feed)
// are skipped wherever they stand, one leading sign is honoured, reading stops at the first character
// that cannot continue a decimal number, and a text without digits is 0. Leading zeros are decimal
// ("010" is 10). Huge numbers saturate far outside any octet's range instead of overflowing.
std::int64_t numericValue(std::string_view text);

} // namespace fw
