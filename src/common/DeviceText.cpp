// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DeviceText.h"

#include <algorithm>

namespace fw {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The byte that stands for code point c, or '?'.
char byteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    const auto* it = std::find(kWindows1252High.begin(), kWindows1252High.end(), c);
    return it == kWindows1252High.end() ? '?' : static_cast<char>(0x80 + (it - kWindows1252High.begin()));
}

} // namespace

std::string deviceTextToUtf8(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kWindows1252High.at(b - 0x80U) : char32_t{b});
    }
    return out;
}

std::string utf8ToDeviceText(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > utf8.size()) { // a stray continuation byte or a cut character
            out += '?';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : b & (0x7FU >> length); // the lead byte's bits
        bool valid = true;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        out += valid ? byteOf(c) : '?';
        i += valid ? length : 1;
    }
    return out;
}

} // namespace fw
