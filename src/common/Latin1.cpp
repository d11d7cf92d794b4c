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

std::string utf8ToLatin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += utf8[i];
        } else if ((b & 0xC0) != 0x80) { // a lead byte: one character
            const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0U;
            out += (b == 0xC2 || b == 0xC3) && (next & 0xC0) == 0x80
                       ? static_cast<char>(((b & 0x03) << 6) | (next & 0x3F))
                       : '?';
        }
    }
    return out;
}

} // namespace fw
