// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Ipv4.h"

namespace fw {

std::optional<Ipv4> Ipv4::parse(std::string_view text) {
    Ipv4 result;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            if (++digits > 3 || value > 255) {
                return std::nullopt;
            }
        }
        if (digits == 0) {
            return std::nullopt;
        }
        result.octets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return result;
}

std::uint32_t Ipv4::toHostOrder() const {
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
           (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
}

Ipv4 Ipv4::fromHostOrder(std::uint32_t value) {
    return Ipv4{{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}};
}

bool inSubnet(Ipv4 address, Ipv4 ip, Ipv4 mask) {
    const std::uint32_t m = mask.toHostOrder();
    return (address.toHostOrder() & m) == (ip.toHostOrder() & m);
}

std::string toText(const std::optional<Ipv4>& ip) {
    return ip ? ip->toString() : std::string();
}

std::string Ipv4::toString() const {
    std::string s;
    s.reserve(15);
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            s += '.';
        }
        s += std::to_string(octets[i]);
    }
    return s;
}

} // namespace fw
