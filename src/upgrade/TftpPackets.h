// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// TFTP (RFC 1350) as the devices take it: octet mode, 512-byte blocks, one block in flight.
inline constexpr std::uint16_t kTftpDevicePort = 69;
inline constexpr std::uint16_t kTftpLocalPort = 14321;
inline constexpr std::size_t kTftpBlockSize = 512;
inline constexpr std::size_t kTftpHeaderSize = 4;
// The block number is a signed 16-bit counter that must neither wrap nor repeat, so 32767 DATA
// packets is the most one transfer carries; the last must be short, hence one byte less.
inline constexpr int kTftpMaxBlocks = 32767;
inline constexpr std::size_t kTftpMaxImageBytes = kTftpMaxBlocks * kTftpBlockSize - 1; // 16,776,703

enum class TftpOpcode : std::uint8_t { Rrq = 1, Wrq = 2, Data = 3, Ack = 4, Error = 5 };

// 00 02, file name, 00, "octet", 00. The devices are asked for "/": 00 02 2F 00 6F 63 74 65 74 00.
std::vector<std::uint8_t> buildTftpWriteRequest(std::string_view fileName = "/");
// 00 03, block (high byte first), 0 to 512 data bytes.
std::vector<std::uint8_t> buildTftpData(std::int16_t block, std::span<const std::uint8_t> payload);
// The same into `out`, whose storage is reused: an upload builds one of these per block.
void writeTftpData(std::vector<std::uint8_t>& out, std::int16_t block, std::span<const std::uint8_t> payload);
// 00 05 00 code, text, 00.
std::vector<std::uint8_t> buildTftpError(std::uint8_t code, std::string_view text);

// Only the low byte of the opcode (byte 1) decides a packet's kind. None when under 2 bytes.
std::optional<std::uint8_t> tftpOpcodeOf(std::span<const std::uint8_t> packet);
// Bytes 2-3 of an ACK as a signed 16-bit value. None when under 4 bytes.
std::optional<std::int16_t> tftpAckBlockOf(std::span<const std::uint8_t> packet);
// Byte 3 of an ERROR (the low byte of the code). None when under 4 bytes.
std::optional<std::uint8_t> tftpErrorCodeOf(std::span<const std::uint8_t> packet);
// The message of an ERROR: its 8-bit text from byte 4 to the first NUL (or the end), at most
// kTftpErrorTextMax bytes of it.
inline constexpr std::size_t kTftpErrorTextMax = 255;
std::string tftpErrorMessageOf(std::span<const std::uint8_t> packet);

} // namespace fw
