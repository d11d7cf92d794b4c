// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpRecords.h"

#include <algorithm>

namespace fw {

namespace {

bool namesDevice(std::span<const std::uint8_t> datagram, std::size_t offset, const MacAddress& device) {
    return std::equal(device.begin(), device.end(), datagram.begin() + static_cast<std::ptrdiff_t>(offset));
}

} // namespace

std::optional<SetIpResult> acceptSetIpReply(std::span<const std::uint8_t> datagram, std::int16_t sequence,
                                            const MacAddress& device) {
    if (datagram.size() < setip::kReplyMinSize || !hasRecordMagic(datagram) ||
        readRecordSequence(datagram) != sequence ||
        !(namesDevice(datagram, setip::kReplyEchoMacOffset, device) ||
          namesDevice(datagram, setip::kReplyDeviceMacOffset, device))) {
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
