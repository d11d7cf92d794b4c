// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/core/SetIpRecords.h"

namespace fw {

std::optional<SetIpResult> acceptSetIpReply(std::span<const std::uint8_t> datagram, std::int16_t sequence) {
    if (datagram.size() < setip::kReplyMinSize || !hasRecordMagic(datagram) ||
        readRecordSequence(datagram) != sequence) {
        return std::nullopt;
    }
    switch (datagram[setip::kResultOffset]) {
    case 0:
        return SetIpResult::Done;
    case 1:
        return SetIpResult::Refused;
    default:
        return std::nullopt;
    }
}

} // namespace fw
