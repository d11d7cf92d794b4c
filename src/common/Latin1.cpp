// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Latin1.h"

namespace fw {

std::string latin1ToUtf8(std::string_view latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

} // namespace fw
