// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace fw {

// Devices send 8-bit text (read as Latin-1); reports and terminals take UTF-8.
std::string latin1ToUtf8(std::string_view latin1);
// UTF-8 back to 8-bit text; a character past U+00FF becomes '?'.
std::string utf8ToLatin1(std::string_view utf8);

} // namespace fw
