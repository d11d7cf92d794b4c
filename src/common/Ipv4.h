// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// An IPv4 address as its four octets, first dotted number first (network order).
struct Ipv4 {
    std::array<std::uint8_t, 4> octets{};

    // Strict dotted decimal: exactly four decimal numbers 0-255 separated by '.', nothing else.
    // No octal or hexadecimal, no short forms, no blanks. Leading zeros are read as decimal ("010" is 10).
    static std::optional<Ipv4> parse(std::string_view text);

    static constexpr Ipv4 broadcast() { return Ipv4{{255, 255, 255, 255}}; }
    static constexpr Ipv4 any() { return Ipv4{{0, 0, 0, 0}}; }

    // Host-order 32-bit value, first octet in the top byte.
    std::uint32_t toHostOrder() const;
    static Ipv4 fromHostOrder(std::uint32_t value);

    std::string toString() const;

    auto operator<=>(const Ipv4&) const = default;
};

// Whether address lies in the subnet of ip/mask.
bool inSubnet(Ipv4 address, Ipv4 ip, Ipv4 mask);

// Dotted text, or "" when there is no address (an empty box, an empty column).
std::string toText(const std::optional<Ipv4>& ip);

} // namespace fw
