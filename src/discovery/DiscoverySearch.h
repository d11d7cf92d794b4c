// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "discovery/DeviceRow.h"
#include "discovery/DiscoveryRecords.h"

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <unordered_set>
#include <vector>

namespace fw {

// The bookkeeping of the current search: its sequence number, how many replies were accepted, and
// every sender already listed. A reply is listed once per sender per search, however many devices
// answer (a fixed table of remembered senders would list repeats again on a large LAN).
class DiscoverySearch {
public:
    enum class Verdict {
        Dropped, // short, wrong magic or another search's sequence: nothing changed
        Repeat,  // accepted and counted, but its sender is already listed
        Listed,
    };

    // What makes a reply new. The window and `search` list one row per sender; a watch keys by the
    // device's MAC and the adapter it answered on, so two devices answering from one address, or one
    // device answering on two segments, are all seen.
    enum class Keying { Sender, MacAndAdapter };

    // What a datagram was, and for a Listed one its row.
    struct Heard {
        Verdict verdict = Verdict::Dropped;
        std::optional<DeviceRow> row;
    };

    explicit DiscoverySearch(Keying keying = Keying::Sender) : keying_(keying) {}

    // A new search numbered `sequence` (the run's next, RecordNumbers): no reply counted, no sender
    // known; replies to any other number are dropped from now on.
    // keying: from this search on, replies are told apart so (a command's search chooses it).
    void begin(std::int16_t sequence, std::optional<Keying> keying = std::nullopt);

    // The copy of the request that the socket of this adapter sends.
    DiscoveryRequest requestFor(const AdapterEntry& adapter) const;
    // One copy per adapter, in table order.
    std::vector<DiscoveryRequest> requestsFor(const AdapterTable& table) const;

    // A datagram that arrived from `sender` on the discovery socket whose local address is
    // `receivedOn`.
    Heard onDatagram(std::span<const std::uint8_t> bytes, const Ipv4& sender, const Ipv4& receivedOn);

    std::int16_t sequence() const { return sequence_; }
    // Every accepted reply of this search, repeats included. Wide, so a flood cannot wrap it.
    std::int64_t replyCount() const { return replyCount_; }
    std::size_t listedCount() const { return known_.size() + knownDevices_.size(); }

private:
    Keying keying_;
    std::int16_t sequence_ = 0;
    std::int64_t replyCount_ = 0;
    std::unordered_set<std::uint32_t> known_;                     // Keying::Sender: host order
    std::set<std::pair<MacAddress, std::uint32_t>> knownDevices_; // Keying::MacAndAdapter
};

} // namespace fw
