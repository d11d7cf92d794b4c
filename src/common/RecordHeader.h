// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace fw {

// The header that discovery and Set IP records share: the workstation talks from UDP port 4001 to
// the devices' port 4000; every record starts with the magic 87 65 43 21 and carries a signed
// 16-bit sequence number, big-endian, at offsets 6-7.
inline constexpr std::uint16_t kDevicePort = 4000;
inline constexpr std::uint16_t kWorkstationPort = 4001;
inline constexpr std::array<std::uint8_t, 4> kRecordMagic{0x87, 0x65, 0x43, 0x21};
inline constexpr std::size_t kRecordSequenceOffset = 6;

inline bool hasRecordMagic(std::span<const std::uint8_t> datagram) {
    return datagram.size() >= kRecordMagic.size() &&
           std::equal(kRecordMagic.begin(), kRecordMagic.end(), datagram.begin());
}

inline void writeRecordSequence(std::span<std::uint8_t> record, std::int16_t sequence) {
    const auto bits = static_cast<std::uint16_t>(sequence);
    record[kRecordSequenceOffset] = static_cast<std::uint8_t>(bits >> 8);
    record[kRecordSequenceOffset + 1] = static_cast<std::uint8_t>(bits & 0xFF);
}

// No value when the datagram is too short to hold the sequence.
inline std::optional<std::int16_t> readRecordSequence(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kRecordSequenceOffset + 2) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((datagram[kRecordSequenceOffset] << 8) |
                                                                datagram[kRecordSequenceOffset + 1]));
}

} // namespace fw
