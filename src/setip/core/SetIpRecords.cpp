#include "setip/core/SetIpRecords.h"

#include <algorithm>

namespace fw {

std::optional<SetIpResult> acceptSetIpReply(std::span<const std::uint8_t> datagram, std::int16_t sequence) {
    if (datagram.size() < setip::kReplyMinSize ||
        !std::equal(setip::kMagic.begin(), setip::kMagic.end(), datagram.begin())) {
        return std::nullopt;
    }
    const auto received = static_cast<std::int16_t>(static_cast<std::uint16_t>(
        (datagram[setip::kSequenceOffset] << 8) | datagram[setip::kSequenceOffset + 1]));
    if (received != sequence) {
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
