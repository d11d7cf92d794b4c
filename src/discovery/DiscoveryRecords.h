// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "common/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace fw {

// Discovery over UDP: the workstation broadcasts a 16-byte request from port 4001 to
// 255.255.255.255:4000; devices answer to port 4001 with a reply of at least 60 bytes.
inline constexpr std::size_t kDiscoveryRequestSize = 16;
inline constexpr std::size_t kDiscoveryReplyMinSize = 60;
inline constexpr std::size_t kDiscoveryReplyDecodedSize = 96;

using DiscoveryRequest = std::array<std::uint8_t, kDiscoveryRequestSize>;

struct DiscoveryReply {
    MacAddress deviceMac{};
    std::string essId;
    std::uint8_t channel = 0;
    bool wep = false;
    std::string name; // already limited by the NameLength byte
    DeviceKind kind = DeviceKind::Bridge;

    bool operator==(const DiscoveryReply&) const = default;
};

// 87 65 43 21 | 10 | 00 | sequence (big-endian) | adapter MAC | 00 00
DiscoveryRequest buildDiscoveryRequest(std::int16_t sequence, const MacAddress& adapterMac);

// A datagram counts as a reply to the current search when it has at least 60 bytes, the magic and
// the current sequence. It is decoded from its first 96 bytes (shorter ones read as zero-padded).
std::optional<DiscoveryReply> acceptDiscoveryReply(std::span<const std::uint8_t> datagram,
                                                   std::int16_t current);

// A reply as a packet socket sees it: from the IPv4 header on, with the address it came from.
struct CapturedReply {
    Ipv4 source;
    DiscoveryReply reply;
};

// An IPv4 packet whose UDP datagram to port 4001 is accepted by acceptDiscoveryReply; none for
// another port, a fragment or a datagram cut short.
std::optional<CapturedReply> acceptCapturedReply(std::span<const std::uint8_t> packet, std::int16_t current);

} // namespace fw
