// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/LinuxAdapterSource.h"

#include "common/Ipv4.h"
#include "platform/linux/NetlinkSocket.h"

#include <algorithm>
#include <cstring>
#include <linux/if.h>
#include <linux/rtnetlink.h>
#include <map>
#include <optional>
#include <sys/socket.h>
#include <thread>

namespace fw {
namespace {

template <typename T> std::optional<T> headerOf(std::span<const std::uint8_t> payload) {
    if (payload.size() < sizeof(T)) {
        return std::nullopt;
    }
    T value{};
    std::memcpy(&value, payload.data(), sizeof(T));
    return value;
}

template <typename T> std::span<const std::uint8_t> attributesOf(std::span<const std::uint8_t> payload) {
    constexpr std::size_t offset = (sizeof(T) + 3) & ~std::size_t{3};
    return payload.size() > offset ? payload.subspan(offset) : std::span<const std::uint8_t>{};
}

std::uint32_t readU32(std::span<const std::uint8_t> bytes) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data(), std::min(bytes.size(), sizeof v));
    return v;
}

Ipv4 ipv4From(std::span<const std::uint8_t> bytes) {
    Ipv4 ip;
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 4), ip.octets.begin());
    return ip;
}

Ipv4 maskOf(unsigned prefixLength) {
    const unsigned bits = std::min(prefixLength, 32u);
    return Ipv4::fromHostOrder(bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits));
}

template <typename T> std::vector<std::uint8_t> requestBody(const T& header) {
    std::vector<std::uint8_t> body(sizeof(T));
    std::memcpy(body.data(), &header, sizeof(T));
    return body;
}

Status<NetlinkSocket::DumpError> readLinks(NetlinkSocket& nl, std::map<int, AdapterFacts>& links) {
    ifinfomsg request{};
    request.ifi_family = AF_UNSPEC;
    return nl.dump(RTM_GETLINK, requestBody(request), [&](const NetlinkMessage& m) {
        const auto info = headerOf<ifinfomsg>(m.payload);
        if (m.type != RTM_NEWLINK || !info) {
            return;
        }
        AdapterFacts f;
        f.interfaceIndex = info->ifi_index;
        f.link = LinkFlags{(info->ifi_flags & IFF_UP) != 0, (info->ifi_flags & IFF_LOOPBACK) != 0,
                           (info->ifi_flags & IFF_POINTOPOINT) != 0, (info->ifi_flags & IFF_LOWER_UP) != 0};
        forEachAttribute(attributesOf<ifinfomsg>(m.payload), [&](std::uint16_t type, auto value) {
            if (type == IFLA_IFNAME) {
                const auto* text = reinterpret_cast<const char*>(value.data());
                f.interfaceName.assign(text, strnlen(text, value.size()));
            } else if (type == IFLA_ADDRESS && value.size() == f.mac.size()) {
                std::copy(value.begin(), value.end(), f.mac.begin());
            } else if (type == IFLA_MASTER && value.size() >= 4) {
                f.masterIndex = static_cast<int>(readU32(value));
            }
        });
        f.description = f.interfaceName;
        links[f.interfaceIndex] = std::move(f);
    });
}

Status<NetlinkSocket::DumpError> readAddresses(NetlinkSocket& nl, std::map<int, AdapterFacts>& links) {
    ifaddrmsg request{};
    request.ifa_family = AF_INET;
    return nl.dump(RTM_GETADDR, requestBody(request), [&](const NetlinkMessage& m) {
        const auto info = headerOf<ifaddrmsg>(m.payload);
        if (m.type != RTM_NEWADDR || !info || info->ifa_family != AF_INET) {
            return;
        }
        const auto link = links.find(static_cast<int>(info->ifa_index));
        if (link == links.end()) {
            return;
        }
        std::optional<Ipv4> local;
        std::optional<Ipv4> address;
        forEachAttribute(attributesOf<ifaddrmsg>(m.payload), [&](std::uint16_t type, auto value) {
            if (value.size() < 4) {
                return;
            }
            if (type == IFA_LOCAL) {
                local = ipv4From(value);
            } else if (type == IFA_ADDRESS) {
                address = ipv4From(value);
            }
        });
        // On a point-to-point link IFA_ADDRESS is the peer; IFA_LOCAL is always ours.
        const std::optional<Ipv4> ours = local ? local : address;
        // The first address is the one searched on; the others are the host's all the same.
        AdapterFacts& f = link->second;
        if (ours && !f.ip) {
            f.ip = ours;
            f.mask = maskOf(info->ifa_prefixlen);
        } else if (ours) {
            f.moreAddresses.push_back({*ours, maskOf(info->ifa_prefixlen)});
        }
    });
}

struct DefaultRoute {
    Ipv4 gateway;
    std::uint32_t metric = 0;
};

void offerRoute(std::map<int, DefaultRoute>& best, int oif, Ipv4 gateway, std::uint32_t metric) {
    const auto it = best.find(oif);
    if (it == best.end() || metric < it->second.metric) {
        best[oif] = DefaultRoute{gateway, metric};
    }
}

Status<NetlinkSocket::DumpError> readDefaultGateways(NetlinkSocket& nl, std::map<int, AdapterFacts>& links) {
    rtmsg request{};
    request.rtm_family = AF_INET;
    std::map<int, DefaultRoute> best;
    const auto result = nl.dump(RTM_GETROUTE, requestBody(request), [&](const NetlinkMessage& m) {
        const auto rt = headerOf<rtmsg>(m.payload);
        if (m.type != RTM_NEWROUTE || !rt || rt->rtm_family != AF_INET || rt->rtm_dst_len != 0 ||
            rt->rtm_type != RTN_UNICAST) {
            return;
        }
        std::uint32_t table = rt->rtm_table;
        std::uint32_t metric = 0;
        int oif = 0;
        std::optional<Ipv4> gateway;
        std::vector<std::pair<int, Ipv4>> hops;
        forEachAttribute(attributesOf<rtmsg>(m.payload), [&](std::uint16_t type, auto value) {
            switch (type) {
            case RTA_TABLE:
                table = readU32(value);
                break;
            case RTA_PRIORITY:
                metric = readU32(value);
                break;
            case RTA_OIF:
                oif = static_cast<int>(readU32(value));
                break;
            case RTA_GATEWAY:
                if (value.size() >= 4) {
                    gateway = ipv4From(value);
                }
                break;
            case RTA_MULTIPATH:
                // A run of struct rtnexthop, each followed by its own attributes.
                while (value.size() >= sizeof(rtnexthop)) {
                    rtnexthop hop{};
                    std::memcpy(&hop, value.data(), sizeof hop);
                    if (hop.rtnh_len < sizeof hop || hop.rtnh_len > value.size()) {
                        break;
                    }
                    forEachAttribute(value.subspan(sizeof hop, hop.rtnh_len - sizeof hop),
                                     [&](std::uint16_t hopType, auto hopValue) {
                                         if (hopType == RTA_GATEWAY && hopValue.size() >= 4) {
                                             hops.emplace_back(hop.rtnh_ifindex, ipv4From(hopValue));
                                         }
                                     });
                    value = value.subspan(std::min<std::size_t>((hop.rtnh_len + 3u) & ~3u, value.size()));
                }
                break;
            default:
                break;
            }
        });
        if (table != RT_TABLE_MAIN) {
            return;
        }
        if (gateway && oif != 0) {
            offerRoute(best, oif, *gateway, metric);
        }
        for (const auto& [hopOif, hopGateway] : hops) {
            offerRoute(best, hopOif, hopGateway, metric);
        }
    });
    if (!result) {
        return result;
    }
    for (const auto& [oif, route] : best) {
        const auto link = links.find(oif);
        if (link != links.end()) {
            link->second.gateway = route.gateway;
        }
    }
    return result;
}

// One reading of links, addresses and default routes.
ListingAttempt readOnce() {
    using DumpError = NetlinkSocket::DumpError;
    ListingAttempt attempt;
    attempt.listing.path = ListingPath::Main;
    NetlinkSocket nl;
    std::map<int, AdapterFacts> links; // ordered by interface index
    for (const auto& read : {readLinks, readAddresses}) {
        const auto result = read(nl, links);
        if (!result) {
            attempt.interrupted = result.error() == DumpError::Interrupted;
            return attempt;
        }
    }
    // Without the routing table the adapters are still searched; they only show no gateway.
    const auto routes = readDefaultGateways(nl, links);
    attempt.interrupted = !routes && routes.error() == DumpError::Interrupted;
    attempt.listing.readable = true;
    for (auto& [index, facts] : links) {
        attempt.listing.adapters.push_back(std::move(facts));
    }
    return attempt;
}

} // namespace

LinuxAdapterSource::LinuxAdapterSource(ReadAttempt readAttempt)
    : readAttempt_(readAttempt ? std::move(readAttempt) : ReadAttempt(readOnce)) {}

// A network change during the reading (a container starting, a DHCP renewal) makes the kernel flag
// the dump as interrupted; that is no reason to give up the search, let alone end the program.
AdapterListing LinuxAdapterSource::readListing() const {
    ListingAttempt attempt = readAttempt_();
    for (int retry = 1; retry < kAttempts && attempt.interrupted; ++retry) {
        std::this_thread::sleep_for(kRetryPause);
        attempt = readAttempt_();
    }
    return std::move(attempt.listing);
}

} // namespace fw
