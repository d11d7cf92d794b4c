// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/RouteLookup.h"

#include "platform/linux/NetlinkSocket.h"

#include <cstring>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <vector>

namespace fw {

bool RouteLookup::hasRoute(Ipv4 destination) {
    // struct rtmsg for one /32 destination, then one RTA_DST attribute with the address.
    rtmsg header{};
    header.rtm_family = AF_INET;
    header.rtm_dst_len = 32;
    rtattr attribute{};
    attribute.rta_len = RTA_LENGTH(4);
    attribute.rta_type = RTA_DST;
    std::vector<std::uint8_t> body(NLMSG_ALIGN(sizeof header) + RTA_SPACE(4), 0);
    std::memcpy(body.data(), &header, sizeof header);
    std::memcpy(body.data() + NLMSG_ALIGN(sizeof header), &attribute, sizeof attribute);
    std::memcpy(body.data() + NLMSG_ALIGN(sizeof header) + RTA_LENGTH(0), destination.octets.data(), 4);
    NetlinkSocket nl;
    return nl.request(RTM_GETROUTE, 0, body).has_value();
}

} // namespace fw
