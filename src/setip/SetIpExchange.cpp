// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpExchange.h"

#include <algorithm>

namespace fw {
namespace {

void put(SetIpRecord& record, std::size_t offset, std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

} // namespace

int SetIpExchange::chooseAdapter(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp,
                                 int previousIndex) {
    int index =
        (previousIndex >= 0 && static_cast<std::size_t>(previousIndex) < adapters.size()) ? previousIndex : 0;
    const auto match = std::find_if(adapters.begin(), adapters.end(), [&](const AdapterEntry& a) {
        return localAdapterIp && a.ip == localAdapterIp;
    });
    if (match != adapters.end()) {
        index = static_cast<int>(match - adapters.begin());
    }
    return index;
}

int SetIpExchange::open(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp, int previousIndex,
                        const MacAddress& targetMac) {
    const int index = chooseAdapter(adapters, localAdapterIp, previousIndex);
    requesterMac_ = adapters.empty() ? MacAddress{} : adapters[static_cast<std::size_t>(index)].mac;
    targetMac_ = targetMac;
    sequence_ = 0;
    put(record_, 0, kRecordMagic);
    return index;
}

void SetIpExchange::numberRequest(std::int16_t number) {
    sequence_ = number;
    writeRecordSequence(record_, sequence_);
}

void SetIpExchange::composeHeader(std::uint8_t action) {
    record_[setip::kCommandOffset] = setip::kCommandRequest;
    record_[setip::kActionOffset] = action;
    put(record_, setip::kTargetMacOffset, targetMac_);
    put(record_, setip::kRequesterMacOffset, requesterMac_);
}

SetIpRecord SetIpExchange::requestFixed(Ipv4 address, Ipv4 mask, Ipv4 gateway) {
    mode_ = SetIpMode::Fixed;
    composeHeader(setip::kActionFixed);
    put(record_, setip::kAddressOffset, address.octets);
    put(record_, setip::kMaskOffset, mask.octets);
    put(record_, setip::kGatewayOffset, gateway.octets);
    return record_;
}

SetIpRecord SetIpExchange::requestDhcp() {
    mode_ = SetIpMode::Dhcp;
    composeHeader(setip::kActionDhcp); // offsets 20-31 keep the last fixed values
    return record_;
}

std::optional<SetIpAnswered> SetIpExchange::onDatagram(std::span<const std::uint8_t> datagram) {
    // Before the first request of this opening there is nothing a reply could answer.
    if (sequence_ == 0) {
        return std::nullopt;
    }
    const auto result = acceptSetIpReply(datagram, sequence_, targetMac_);
    if (!result) {
        return std::nullopt;
    }
    if (*result == SetIpResult::Refused) {
        return SetIpAnswered{{*result, mode_}, std::nullopt};
    }
    record_[setip::kCommandOffset] = setip::kCommandAck;
    record_[setip::kActionOffset] = setip::kActionAck;
    return SetIpAnswered{{*result, mode_}, record_};
}

} // namespace fw
