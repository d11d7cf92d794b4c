// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/WindowsAdapterSource.h"

#include "platform/windows/WideText.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <algorithm>
#include <iphlpapi.h>
#include <string>
#include <vector>

namespace fw {
namespace {

std::string utf8(const wchar_t* text) {
    return text == nullptr ? std::string() : utf8Of(text);
}

std::optional<Ipv4> ipv4Of(const SOCKET_ADDRESS& address) {
    if (address.lpSockaddr == nullptr || address.lpSockaddr->sa_family != AF_INET) {
        return std::nullopt;
    }
    sockaddr_in in{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(address.lpSockaddr), sizeof in,
                reinterpret_cast<std::uint8_t*>(&in));
    return Ipv4::fromHostOrder(ntohl(in.sin_addr.s_addr));
}

Ipv4 maskOf(unsigned prefix) {
    return Ipv4::fromHostOrder(prefix == 0 ? 0U : ~0U << (32U - std::min(prefix, 32U)));
}

AdapterFacts factsOf(const IP_ADAPTER_ADDRESSES& a) {
    AdapterFacts f;
    f.interfaceName = utf8(a.FriendlyName);
    f.description = utf8(a.Description);
    f.interfaceIndex = static_cast<int>(a.IfIndex);
    if (a.PhysicalAddressLength == f.mac.size()) {
        std::copy_n(a.PhysicalAddress, f.mac.size(), f.mac.begin());
    }
    // Every unicast address is the host's; the first is the one searched on.
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = a.FirstUnicastAddress; u != nullptr; u = u->Next) {
        const auto ip = ipv4Of(u->Address);
        if (ip && !f.ip) {
            f.ip = ip;
            f.mask = maskOf(u->OnLinkPrefixLength);
        } else if (ip) {
            f.moreAddresses.push_back({*ip, maskOf(u->OnLinkPrefixLength)});
        }
    }
    for (const IP_ADAPTER_GATEWAY_ADDRESS_LH* g = a.FirstGatewayAddress; g != nullptr; g = g->Next) {
        if (const auto ip = ipv4Of(g->Address)) {
            f.gateway = ip;
            break;
        }
    }
    LinkFlags link;
    link.up = a.OperStatus == IfOperStatusUp;
    link.carrier = link.up;
    link.loopback = a.IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    link.pointToPoint = a.IfType == IF_TYPE_TUNNEL || a.IfType == IF_TYPE_PPP;
    f.link = link;
    return f;
}

} // namespace

AdapterListing WindowsAdapterSource::readListing() const {
    constexpr ULONG kFlags = GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                             GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between the size query and the read: ask again with the size it gives.
    ULONG size = 16 * 1024;
    std::vector<std::uint8_t> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(size, 0);
        result = GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    AdapterListing listing;
    if (result == ERROR_NO_DATA) {
        listing.readable = true;
        return listing;
    }
    if (result != NO_ERROR) {
        return listing;
    }
    listing.readable = true;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
        listing.adapters.push_back(factsOf(*a));
    }
    return listing;
}

} // namespace fw
