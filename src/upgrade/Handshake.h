// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace fw {

// The record that prepares a device for an upload, sent once to its UDP port 4000.
//   0..3   AA 55 55 AA   magic (the same in either byte order)
//   4      command       4 = prepare for an upgrade; answers carry 0xFF
//   5..13  "QmTwHxbLd"   signature, no terminator
//   14..49 zero
//   50..51 68 36         0x6836 in network order
inline constexpr std::uint16_t kHandshakePort = kDevicePort;
inline constexpr std::size_t kHandshakeSize = 52;
inline constexpr std::uint8_t kHandshakeUpgradeCommand = 4;

using HandshakeRecord = std::array<std::uint8_t, kHandshakeSize>;

HandshakeRecord buildHandshakeRecord(std::uint8_t command = kHandshakeUpgradeCommand);

// A device's answer: the magic and a command byte. The answer is only read, never acted on.
struct HandshakeAnswer {
    std::uint8_t command = 0;
};

// None unless the datagram holds at least the magic and the command byte; never reads past its end.
std::optional<HandshakeAnswer> readHandshakeAnswer(std::span<const std::uint8_t> datagram);

} // namespace fw
