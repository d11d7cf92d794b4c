// SPDX-License-Identifier: GPL-3.0-or-later
// Set IP presses and port-4001 datagrams in any order: only a reply to the latest request with result
// 0 or 1 shows anything, and only a success is acknowledged.
#include "FuzzInput.h"
#include "common/RecordNumbers.h"
#include "setip/SetIpExchange.h"

#include <optional>
#include <vector>

using fw::Ipv4;
using fw::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::FuzzInput in(data, size);
    const fw::AdapterTable adapters{
        {Ipv4{{192, 168, 1, 10}}, Ipv4{{255, 255, 255, 0}}, Ipv4::any(), {2, 0, 0, 0, 0, 1}, "eth0", 2},
        {Ipv4{{10, 0, 0, 10}}, Ipv4{{255, 0, 0, 0}}, Ipv4::any(), {2, 0, 0, 0, 0, 2}, "eth1", 3},
    };
    const fw::MacAddress target{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    fw::SetIpExchange exchange;
    fw::RecordNumbers numbers(static_cast<std::int16_t>(32700 + in.byte() % 68)); // and round past 32767
    const int index = exchange.open(adapters, (in.byte() & 1) ? Ipv4::parse("10.0.0.10") : std::nullopt,
                                    in.byte() % 4, target);
    require(index >= 0 && index < 2, "an adapter of the table is chosen");

    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        std::optional<fw::SetIpRecord> request;
        const int kind = op % 5;
        switch (kind) {
        case 0:
            exchange.numberRequest(numbers.next());
            break;
        case 1: {
            const auto a = in.take(12);
            std::array<std::uint8_t, 12> v{};
            std::copy(a.begin(), a.end(), v.begin());
            exchange.numberRequest(numbers.next());
            request = exchange.requestFixed(Ipv4{{v[0], v[1], v[2], v[3]}}, Ipv4{{v[4], v[5], v[6], v[7]}},
                                            Ipv4{{v[8], v[9], v[10], v[11]}});
            break;
        }
        case 2:
            exchange.numberRequest(numbers.next());
            request = exchange.requestDhcp();
            break;
        default: {
            // A reply: often well-formed up to the result byte, which the input picks.
            std::vector<std::uint8_t> d;
            if (op & 0x80) {
                d.assign(exchange.record().begin(), exchange.record().begin() + 24);
                if (op & 0x40) {
                    d[7] = static_cast<std::uint8_t>(d[7] + 1 + (in.byte() % 3)); // an older or newer number
                }
                d[21] = in.byte() % 3;
            }
            const auto body = in.take(in.byte());
            d.insert(d.end(), body.begin(), body.end());
            const std::int16_t seq = exchange.sequence();
            const auto verdict = fw::acceptSetIpReply(d, seq, target);
            const auto modeBefore = exchange.mode();
            const auto answered = exchange.onDatagram(d);
            if (!verdict || seq == 0) {
                require(!answered, "a reply to no current request changes nothing");
                break;
            }
            require(d.size() >= 24 && d[21] <= 1, "only results 0 and 1 are replies");
            require(std::equal(target.begin(), target.end(), d.begin() + 8) ||
                        std::equal(target.begin(), target.end(), d.begin() + 14),
                    "only the target's answer is taken");
            require(static_cast<std::int16_t>((d[6] << 8) | d[7]) == seq,
                    "only the latest number is answered");
            require(answered.has_value(), "a reply is answered");
            if (*verdict == fw::SetIpResult::Refused) {
                require(!answered->acknowledgement, "a refusal is not acknowledged");
                require(answered->answer == fw::SetIpAnswer{fw::SetIpResult::Refused, modeBefore},
                        "a refusal is reported with the mode");
            } else {
                require(answered->acknowledgement.has_value(), "a success is acknowledged");
                const auto& ack = *answered->acknowledgement;
                require(ack[4] == 0xA0 && ack[5] == 0x99, "acknowledgement command");
                require(static_cast<std::int16_t>((ack[6] << 8) | ack[7]) == seq, "acknowledgement number");
                require(answered->answer == fw::SetIpAnswer{fw::SetIpResult::Done, modeBefore},
                        "a success is reported with the mode");
            }
            break;
        }
        }
        if (kind == 1 || kind == 2) {
            require(request.has_value(), "one request per press");
            const auto& r = *request;
            require(r[0] == 0x87 && r[1] == 0x65 && r[2] == 0x43 && r[3] == 0x21 && r[4] == 0x20,
                    "request header");
            require(r[5] == (kind == 1 ? 0x10 : 0x11), "request action");
            require(std::equal(target.begin(), target.end(), r.begin() + 8), "target MAC");
            const auto& mac = adapters[static_cast<std::size_t>(index)].mac;
            require(std::equal(mac.begin(), mac.end(), r.begin() + 14),
                    "requester MAC is the chosen adapter's");
        }
        require(static_cast<std::int16_t>((exchange.record()[6] << 8) | exchange.record()[7]) ==
                    exchange.sequence(),
                "record carries the sequence");
        require(exchange.sequence() >= 0, "the sequence is never negative");
    }
    return 0;
}
