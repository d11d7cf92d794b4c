// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/TftpPackets.h"

#include <algorithm>

namespace fw {
namespace {

void appendText(std::vector<std::uint8_t>& out, std::string_view text) {
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
    }
    out.push_back(0);
}

} // namespace

std::vector<std::uint8_t> buildTftpWriteRequest(std::string_view fileName) {
    std::vector<std::uint8_t> out{0x00, static_cast<std::uint8_t>(TftpOpcode::Wrq)};
    appendText(out, fileName);
    appendText(out, "octet");
    return out;
}

std::vector<std::uint8_t> buildTftpData(std::int16_t block, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out;
    writeTftpData(out, block, payload);
    return out;
}

void writeTftpData(std::vector<std::uint8_t>& out, std::int16_t block,
                   std::span<const std::uint8_t> payload) {
    const auto b = static_cast<std::uint16_t>(block);
    out.resize(kTftpHeaderSize + payload.size());
    out[0] = 0x00;
    out[1] = static_cast<std::uint8_t>(TftpOpcode::Data);
    out[2] = static_cast<std::uint8_t>(b >> 8);
    out[3] = static_cast<std::uint8_t>(b & 0xFF);
    std::copy(payload.begin(), payload.end(), out.begin() + kTftpHeaderSize);
}

std::vector<std::uint8_t> buildTftpError(std::uint8_t code, std::string_view text) {
    std::vector<std::uint8_t> out{0x00, static_cast<std::uint8_t>(TftpOpcode::Error), 0x00, code};
    appendText(out, text);
    return out;
}

std::optional<std::uint8_t> tftpOpcodeOf(std::span<const std::uint8_t> packet) {
    if (packet.size() < 2) {
        return std::nullopt;
    }
    return packet[1];
}

std::optional<std::int16_t> tftpAckBlockOf(std::span<const std::uint8_t> packet) {
    if (packet.size() < 4) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((packet[2] << 8) | packet[3]));
}

std::optional<std::uint8_t> tftpErrorCodeOf(std::span<const std::uint8_t> packet) {
    if (packet.size() < 4) {
        return std::nullopt;
    }
    return packet[3];
}

std::string tftpErrorMessageOf(std::span<const std::uint8_t> packet) {
    if (packet.size() <= 4) {
        return {};
    }
    const auto text = packet.subspan(4, std::min(packet.size() - 4, kTftpErrorTextMax));
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return {text.begin(), end};
}

} // namespace fw
