// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/Handshake.h"

#include <algorithm>
#include <string_view>

namespace fw {
namespace {

constexpr std::array<std::uint8_t, 4> kMagic{0xAA, 0x55, 0x55, 0xAA};
constexpr std::string_view kSignature = "QmTwHxbLd";
constexpr std::size_t kCommandOffset = 4;
constexpr std::size_t kSignatureOffset = 5;
constexpr std::size_t kTrailerOffset = 50;
constexpr std::uint16_t kTrailer = 0x6836;

} // namespace

HandshakeRecord buildHandshakeRecord(std::uint8_t command) {
    HandshakeRecord r{};
    std::copy(kMagic.begin(), kMagic.end(), r.begin());
    r[kCommandOffset] = command;
    for (std::size_t i = 0; i < kSignature.size(); ++i) {
        r[kSignatureOffset + i] = static_cast<std::uint8_t>(kSignature[i]);
    }
    r[kTrailerOffset] = static_cast<std::uint8_t>(kTrailer >> 8);
    r[kTrailerOffset + 1] = static_cast<std::uint8_t>(kTrailer & 0xFF);
    return r;
}

std::optional<HandshakeAnswer> readHandshakeAnswer(std::span<const std::uint8_t> datagram) {
    if (datagram.size() <= kCommandOffset || !std::equal(kMagic.begin(), kMagic.end(), datagram.begin())) {
        return std::nullopt;
    }
    return HandshakeAnswer{datagram[kCommandOffset]};
}

} // namespace fw
