// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DiscoveryRecords.h"

#include <algorithm>

namespace fw {
namespace {

// Reply layout (offsets into the 96 decoded bytes).
constexpr std::size_t kMacOffset = 14;
constexpr std::size_t kEssIdOffset = 20;
constexpr std::size_t kTextWidth = 32;
constexpr std::size_t kChannelOffset = 53;
constexpr std::size_t kWepOffset = 54;
constexpr std::size_t kNameLengthOffset = 55;
constexpr std::size_t kNameOffset = 60;
constexpr std::size_t kKindOffset = 92;

constexpr std::size_t kIpv4HeaderMinSize = 20;
constexpr std::size_t kUdpHeaderSize = 8;
constexpr std::uint8_t kProtocolUdp = 17;

std::string textUpToNul(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return {field.begin(), end};
}

} // namespace

DiscoveryRequest buildDiscoveryRequest(std::int16_t sequence, const MacAddress& adapterMac) {
    DiscoveryRequest r{};
    std::copy(kRecordMagic.begin(), kRecordMagic.end(), r.begin());
    r[4] = 0x10;
    writeRecordSequence(r, sequence);
    std::copy(adapterMac.begin(), adapterMac.end(), r.begin() + 8);
    return r;
}

std::optional<DiscoveryReply> acceptDiscoveryReply(std::span<const std::uint8_t> datagram,
                                                   std::int16_t current) {
    if (datagram.size() < kDiscoveryReplyMinSize || !hasRecordMagic(datagram) ||
        readRecordSequence(datagram) != current) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kDiscoveryReplyDecodedSize> rec{};
    std::copy_n(datagram.begin(), std::min(datagram.size(), rec.size()), rec.begin());
    const std::span<const std::uint8_t> bytes(rec);

    DiscoveryReply reply;
    std::copy_n(bytes.begin() + kMacOffset, reply.deviceMac.size(), reply.deviceMac.begin());
    reply.essId = textUpToNul(bytes.subspan(kEssIdOffset, kTextWidth));
    reply.channel = bytes[kChannelOffset];
    reply.wep = bytes[kWepOffset] == 1;
    // A NameLength of 128 or more hides the name; 1..127 shows the whole 32-byte field; 0 hides it.
    const std::uint8_t nameLength = bytes[kNameLengthOffset];
    if (nameLength >= 1 && nameLength <= 127) {
        reply.name = textUpToNul(bytes.subspan(kNameOffset, kTextWidth));
    }
    // "AP" at offset 92 or 93; NUL bytes do not end the search.
    const bool ap = (bytes[kKindOffset] == 'A' && bytes[kKindOffset + 1] == 'P') ||
                    (bytes[kKindOffset + 1] == 'A' && bytes[kKindOffset + 2] == 'P');
    reply.kind = ap ? DeviceKind::AccessPoint : DeviceKind::Bridge;
    return reply;
}

std::optional<CapturedReply> acceptCapturedReply(std::span<const std::uint8_t> packet, std::int16_t current) {
    // IPv4 header: version/IHL at 0, fragment field at 6, protocol at 9, source at 12.
    if (packet.size() < kIpv4HeaderMinSize || (packet[0] >> 4) != 4 || packet[9] != kProtocolUdp) {
        return std::nullopt;
    }
    const std::size_t ihl = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
    const bool fragment = ((packet[6] & 0x3F) | packet[7]) != 0; // more-fragments flag or an offset
    if (ihl < kIpv4HeaderMinSize || fragment || packet.size() < ihl + kUdpHeaderSize) {
        return std::nullopt;
    }
    const auto udp = packet.subspan(ihl);
    const unsigned dport = (udp[2] << 8) | udp[3];
    const std::size_t udpLength = (static_cast<std::size_t>(udp[4]) << 8) | udp[5];
    if (dport != kWorkstationPort || udpLength < kUdpHeaderSize || udpLength > udp.size()) {
        return std::nullopt;
    }
    auto reply = acceptDiscoveryReply(udp.subspan(kUdpHeaderSize, udpLength - kUdpHeaderSize), current);
    if (!reply) {
        return std::nullopt;
    }
    CapturedReply captured{{}, std::move(*reply)};
    std::copy_n(packet.begin() + 12, 4, captured.source.octets.begin());
    return captured;
}

} // namespace fw
