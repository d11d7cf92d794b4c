// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "setip/SetIpRecords.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace fw {

// What the last request sent asked for; None before the first one of the run.
enum class SetIpMode : std::uint8_t { None = 0, Fixed = 1, Dhcp = 2 };

// A device's answer to the latest request, and what that request asked for.
struct SetIpAnswer {
    SetIpResult result = SetIpResult::Refused;
    SetIpMode mode = SetIpMode::None;
    bool operator==(const SetIpAnswer&) const = default;
};

// What a reply to the latest request brings: the answer and, for a done one, the acknowledgement
// to send once the answer has been seen (the request with A0 99 at offsets 4-5).
struct SetIpAnswered {
    SetIpAnswer answer;
    std::optional<SetIpRecord> acknowledgement;
    bool operator==(const SetIpAnswered&) const = default;
};

// The Set IP exchange without its socket. One object lives for the whole run: the record (so a DHCP
// request repeats the last fixed values at offsets 20-31) and the mode persist across openings of
// the dialog. One request per OK press, no retransmission, no time-out; only the named device's
// reply with the latest number is acted on. The numbers are the run's (RecordNumbers), never one
// an earlier exchange used, so a slow device's late answer to an earlier opening is not taken.
// It sends nothing itself: the requests return the record to send, a reply returns the answer with
// its acknowledgement, and the caller sends that when the answer has been seen.
class SetIpExchange {
public:
    // Dialog load. Chooses the adapter whose address equals localAdapterIp (the first such entry);
    // with none, previousIndex stays when it is still an entry, else 0. Its MAC becomes the requester
    // MAC of this opening's requests; targetMac names the device. No request is outstanding until
    // the next numberRequest(). Returns the index chosen.
    int open(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp, int previousIndex,
             const MacAddress& targetMac);
    // The index open() chooses.
    static int chooseAdapter(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp,
                             int previousIndex);

    // First step of every OK press, before anything is checked: a refused press uses up a number.
    // number: the run's next (1..32767).
    void numberRequest(std::int16_t number);
    // The request to send, as one datagram, whole.
    SetIpRecord requestFixed(Ipv4 address, Ipv4 mask, Ipv4 gateway);
    SetIpRecord requestDhcp();

    // A datagram on the exchange's socket. Done: the answer with its acknowledgement; refused: the
    // answer alone; anything else: nothing. A repeated reply is answered again.
    std::optional<SetIpAnswered> onDatagram(std::span<const std::uint8_t> datagram);

    const SetIpRecord& record() const { return record_; }
    std::int16_t sequence() const { return sequence_; }
    SetIpMode mode() const { return mode_; }

private:
    void composeHeader(std::uint8_t action);

    SetIpRecord record_{};
    std::int16_t sequence_ = 0;
    SetIpMode mode_ = SetIpMode::None;
    MacAddress requesterMac_{};
    MacAddress targetMac_{};
};

} // namespace fw
