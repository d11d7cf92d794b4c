// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/MacAddress.h"

namespace fw {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

std::string hexByte(std::uint8_t value) {
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string formatMac(const MacAddress& mac) {
    std::string s;
    s.reserve(17);
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) {
            s += '-';
        }
        s += hexByte(mac[i]);
    }
    return s;
}

std::optional<MacAddress> parseMac(std::string_view text) {
    MacAddress mac{};
    std::size_t step = 0;
    if (text.size() == 12) {
        step = 2;
    } else if (text.size() == 17 && (text[2] == '-' || text[2] == ':')) {
        step = 3;
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * step;
        const int hi = hexValue(text[at]);
        const int lo = hexValue(text[at + 1]);
        if (hi < 0 || lo < 0 || (step == 3 && i < 5 && text[at + 2] != text[2])) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return mac;
}

} // namespace fw
