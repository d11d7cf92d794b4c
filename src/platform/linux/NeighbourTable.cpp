// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/NeighbourTable.h"

#include "platform/linux/NetlinkSocket.h"

#include <cstring>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <vector>

namespace fw {
namespace {

constexpr std::size_t kNdmsgSpace = (sizeof(ndmsg) + 3) & ~std::size_t{3};

std::vector<std::uint8_t> neighbourBody(int ifindex, const Ipv4* ip) {
    ndmsg header{};
    header.ndm_family = AF_INET;
    header.ndm_ifindex = ifindex;
    std::vector<std::uint8_t> body(kNdmsgSpace + (ip != nullptr ? RTA_SPACE(4) : 0), 0);
    std::memcpy(body.data(), &header, sizeof header);
    if (ip != nullptr) {
        rtattr attr{};
        attr.rta_len = static_cast<unsigned short>(RTA_LENGTH(4));
        attr.rta_type = NDA_DST;
        std::memcpy(body.data() + kNdmsgSpace, &attr, sizeof attr);
        std::memcpy(body.data() + kNdmsgSpace + RTA_LENGTH(0), ip->octets.data(), 4);
    }
    return body;
}

} // namespace

bool NeighbourTable::remove(Ipv4 ip) {
    NetlinkSocket nl;
    std::vector<int> interfaces;
    const auto listed = nl.dump(RTM_GETNEIGH, neighbourBody(0, nullptr), [&](const NetlinkMessage& m) {
        if (m.type != RTM_NEWNEIGH || m.payload.size() < sizeof(ndmsg)) {
            return;
        }
        ndmsg header{};
        std::memcpy(&header, m.payload.data(), sizeof header);
        if (header.ndm_family != AF_INET) {
            return;
        }
        const auto attributes =
            m.payload.size() > kNdmsgSpace ? m.payload.subspan(kNdmsgSpace) : std::span<const std::uint8_t>{};
        forEachAttribute(attributes, [&](std::uint16_t type, std::span<const std::uint8_t> value) {
            if (type == NDA_DST && value.size() == 4 && std::memcmp(value.data(), ip.octets.data(), 4) == 0) {
                interfaces.push_back(header.ndm_ifindex);
            }
        });
    });
    // An interrupted listing still names entries that exist; removing those is what can be done.
    if (!listed && listed.error() == NetlinkSocket::DumpError::Failed) {
        return false;
    }
    bool allRemoved = true;
    for (const int ifindex : interfaces) {
        const auto removed = nl.request(RTM_DELNEIGH, 0, neighbourBody(ifindex, &ip));
        // ENOENT: it went away on its own meanwhile, which is just as good.
        if (!removed && removed.error() != std::errc::no_such_file_or_directory) {
            allRemoved = false;
        }
    }
    return allRemoved;
}

} // namespace fw
