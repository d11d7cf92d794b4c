// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Discovery replies laid out by hand from the byte table (not with the program's encoder), so a
// wrong offset on either side shows up.

#include <cstdint>
#include <string_view>
#include <vector>

namespace fw::test {

struct ReplyFields {
    std::int16_t sequence = 1;
    std::uint8_t mac[6] = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    std::uint8_t wep = 0;
    std::string_view name = "Lobby";
    std::string_view kind = "AP";
};

// Channel 6, name length 1 (any of 1..127 shows the name), 96 bytes.
inline std::vector<std::uint8_t> replyBytes(const ReplyFields& s) {
    std::vector<std::uint8_t> b(96, 0);
    const auto seq = static_cast<std::uint16_t>(s.sequence);
    const std::uint8_t head[] = {
        0x87, 0x65, 0x43, 0x21, 0x11, 0x00, std::uint8_t(seq >> 8), std::uint8_t(seq)};
    std::copy(std::begin(head), std::end(head), b.begin());
    std::copy(std::begin(s.mac), std::end(s.mac), b.begin() + 14);
    const auto put = [&](std::size_t at, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            b[at + i] = static_cast<std::uint8_t>(text[i]);
        }
    };
    put(20, "office-net");
    b[53] = 6;
    b[54] = s.wep;
    b[55] = 1;
    put(60, s.name);
    put(92, s.kind);
    return b;
}

} // namespace fw::test
