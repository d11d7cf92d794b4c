// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "common/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace fw {

// Set IP over UDP: one 32-byte record, broadcast from 0.0.0.0:4001 to 255.255.255.255:4000, names
// the device by its MAC; the device answers to port 4001; after a success the same record goes out
// again as the acknowledgement.
//
//   0  87 65 43 21        magic (as in discovery)
//   4  command            0x20 request, 0xA0 acknowledgement
//   5  action             0x10 fixed address, 0x11 DHCP, 0x99 acknowledgement
//   6  sequence           big-endian
//   8  target MAC         the device
//  14  requester MAC      our adapter
//  20  address, 24 mask, 28 gateway, network order (left as they were by a DHCP request)
inline constexpr std::size_t kSetIpRecordSize = 32;
using SetIpRecord = std::array<std::uint8_t, kSetIpRecordSize>;

namespace setip {
inline constexpr std::uint8_t kCommandRequest = 0x20;
inline constexpr std::uint8_t kCommandAck = 0xA0;
inline constexpr std::uint8_t kActionFixed = 0x10;
inline constexpr std::uint8_t kActionDhcp = 0x11;
inline constexpr std::uint8_t kActionAck = 0x99;
inline constexpr std::size_t kCommandOffset = 4;
inline constexpr std::size_t kActionOffset = 5;
inline constexpr std::size_t kTargetMacOffset = 8;
inline constexpr std::size_t kRequesterMacOffset = 14;
inline constexpr std::size_t kAddressOffset = 20;
inline constexpr std::size_t kMaskOffset = 24;
inline constexpr std::size_t kGatewayOffset = 28;

// Replies: at least 24 bytes; byte 21 holds the result. The device answers with the head of the
// request, so its MAC comes back at 8-13, where the request named it; a device that words its
// answer like its discovery reply has it at 14-19. The other of the two fields holds the
// requester's adapter MAC, never the device's, so either one names the device.
inline constexpr std::size_t kReplyMinSize = 24;
inline constexpr std::size_t kResultOffset = 21;
inline constexpr std::size_t kReplyEchoMacOffset = 8;
inline constexpr std::size_t kReplyDeviceMacOffset = 14;
} // namespace setip

enum class SetIpResult { Done, Refused };

// A datagram is the answer of device `device` to request number `sequence` when it has at least 24
// bytes, the magic, that sequence and that MAC (see above); its result byte must be 0 (done) or 1
// (refused). Anything else gives no value: a late answer of another device, or to another
// request, is not this one's.
std::optional<SetIpResult> acceptSetIpReply(std::span<const std::uint8_t> datagram, std::int16_t sequence,
                                            const MacAddress& device);

} // namespace fw
