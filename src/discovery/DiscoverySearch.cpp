// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DiscoverySearch.h"

namespace fw {

void DiscoverySearch::begin(std::int16_t sequence, std::optional<Keying> keying) {
    sequence_ = sequence;
    keying_ = keying.value_or(keying_);
    replyCount_ = 0;
    known_.clear();
    knownDevices_.clear();
}

DiscoveryRequest DiscoverySearch::requestFor(const AdapterEntry& adapter) const {
    return buildDiscoveryRequest(sequence_, adapter.mac);
}

std::vector<DiscoveryRequest> DiscoverySearch::requestsFor(const AdapterTable& table) const {
    std::vector<DiscoveryRequest> out;
    out.reserve(table.size());
    for (const auto& entry : table) {
        out.push_back(requestFor(entry));
    }
    return out;
}

DiscoverySearch::Heard DiscoverySearch::onDatagram(std::span<const std::uint8_t> bytes, const Ipv4& sender,
                                                   const Ipv4& receivedOn) {
    const auto reply = acceptDiscoveryReply(bytes, sequence_);
    if (!reply) {
        return {Verdict::Dropped, std::nullopt};
    }
    ++replyCount_;
    const bool isNew = keying_ == Keying::Sender
                           ? known_.insert(sender.toHostOrder()).second
                           : knownDevices_.emplace(reply->deviceMac, receivedOn.toHostOrder()).second;
    if (!isNew) {
        return {Verdict::Repeat, std::nullopt};
    }
    return {Verdict::Listed, DeviceRow{reply->name, sender, reply->essId, reply->channel, reply->wep,
                                       reply->deviceMac, reply->kind, receivedOn}};
}

} // namespace fw
