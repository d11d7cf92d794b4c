// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery replies off port 4001 (and as captured packets): acceptance, decoding into a row, and the
// search's bookkeeping.
#include "FuzzInput.h"
#include "discovery/DiscoverySearch.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

namespace {

using fw::fuzz::require;

std::string cString(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return {field.begin(), end};
}

// What the device list must show for one datagram, worked out from the byte layout on its own.
std::optional<fw::DeviceRow> expectedRow(std::span<const std::uint8_t> d, std::int16_t current,
                                         const fw::Ipv4& from, const fw::Ipv4& on) {
    if (d.size() < 60 || d[0] != 0x87 || d[1] != 0x65 || d[2] != 0x43 || d[3] != 0x21 ||
        static_cast<std::int16_t>((d[6] << 8) | d[7]) != current) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 96> p{};
    std::copy_n(d.begin(), std::min<std::size_t>(d.size(), p.size()), p.begin());
    const std::span<const std::uint8_t> s(p);
    fw::DeviceRow row;
    row.name = (p[55] >= 1 && p[55] <= 127) ? cString(s.subspan(60, 32)) : "";
    row.ip = from;
    row.essId = cString(s.subspan(20, 32));
    row.channel = p[53];
    row.wep = p[54] == 1;
    std::copy_n(p.begin() + 14, 6, row.mac.begin());
    const bool ap = (p[92] == 'A' && p[93] == 'P') || (p[93] == 'A' && p[94] == 'P');
    row.kind = ap ? fw::DeviceKind::AccessPoint : fw::DeviceKind::Bridge;
    row.adapterIp = on;
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::FuzzInput in(data, size);
    std::vector<fw::DeviceRow> rows;
    fw::DiscoverySearch search;
    // The search's number, which the replies must carry.
    const auto number = static_cast<std::int16_t>(1 + in.byte() * 128);
    search.begin(number);
    require(search.sequence() == number, "the search carries its number");

    const fw::Ipv4 on{{192, 168, 1, 10}};
    std::set<std::uint32_t> senders;
    std::int64_t accepted = 0;
    while (!in.empty()) {
        const std::uint8_t head = in.byte();
        const fw::Ipv4 from{{192, 168, 1, static_cast<std::uint8_t>(head & 0x07)}};
        // A reply-shaped datagram more often than not: magic and current sequence in front.
        std::vector<std::uint8_t> d;
        if (head & 0x80) {
            const auto seq = static_cast<std::uint16_t>(search.sequence());
            d = {0x87, 0x65, 0x43, 0x21, 0, 0, 0, 0};
            d[6] = static_cast<std::uint8_t>(seq >> 8), d[7] = static_cast<std::uint8_t>(seq);
        }
        const auto body = in.take(in.u16() % 2049);
        d.insert(d.end(), body.begin(), body.end());

        const auto expected = expectedRow(d, search.sequence(), from, on);
        const auto reply = fw::acceptDiscoveryReply(d, search.sequence());
        require(reply.has_value() == expected.has_value(), "acceptance follows size, magic and sequence");
        if (reply) {
            require(reply->name == expected->name && reply->essId == expected->essId &&
                        reply->channel == expected->channel && reply->wep == expected->wep &&
                        reply->deviceMac == expected->mac && reply->kind == expected->kind,
                    "the reply's values follow the byte layout");
            require(reply->essId.size() <= 32 && reply->name.size() <= 32,
                    "texts stay in their 32-byte fields");
            // Bytes past 96 never matter.
            if (d.size() > 96) {
                auto changed = d;
                std::fill(changed.begin() + 96, changed.end(), std::uint8_t{0x41});
                require(fw::acceptDiscoveryReply(changed, search.sequence()) == reply,
                        "bytes past 96 ignored");
            }
        }

        // The same bytes as a captured IPv4 packet: read within its bounds whatever its header says.
        static_cast<void>(fw::acceptCapturedReply(d, search.sequence()));
        const auto [verdict, row] = search.onDatagram(d, from, on);
        if (!expected) {
            require(verdict == fw::DiscoverySearch::Verdict::Dropped, "a non-reply is dropped");
            require(!row, "a dropped datagram lists nothing");
            continue;
        }
        ++accepted;
        const bool fresh = senders.insert(from.toHostOrder()).second;
        require(verdict ==
                    (fresh ? fw::DiscoverySearch::Verdict::Listed : fw::DiscoverySearch::Verdict::Repeat),
                "one row per sender");
        require(row.has_value() == fresh, "a row for a new sender only");
        if (row) {
            rows.push_back(*row);
            require(*row == *expected, "the listed row is the decoded one");
        }
    }
    require(search.replyCount() == accepted, "every accepted reply counted");
    require(search.listedCount() == senders.size() && rows.size() == senders.size(), "rows match senders");
    return 0;
}
