// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemHost.h"

#include "platform/windows/BuiltInVendors.h"
#include "platform/windows/NeighbourFlush.h"
#include "platform/windows/UdpPortCheck.h"
#include "platform/windows/WindowsAdapterSource.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <iphlpapi.h>
#include <vector>

namespace fw {

AdapterListing SystemHost::readAdapters() {
    return WindowsAdapterSource().readListing();
}

void SystemHost::flushNeighbour(Ipv4 ip) {
    std::vector<unsigned long> indexes;
    for (const AdapterFacts& a : readAdapters().adapters) {
        if (a.ip) {
            indexes.push_back(static_cast<unsigned long>(a.interfaceIndex));
        }
    }
    NeighbourFlush::flush(ip, indexes, NeighbourFlush::systemDelete());
}

HostSystem SystemHost::hostSystem() {
    return HostSystem::Windows;
}

std::optional<ReversePathFilter> SystemHost::reversePathFilter(const std::string& /*interfaceName*/) {
    return std::nullopt;
}

// Windows answers ARP for an address only on the adapter that holds it (the strong host model).
bool SystemHost::arpFluxGuarded(const std::string& /*interfaceName*/) {
    return true;
}

PortCheck SystemHost::checkPort(const AdapterFacts& adapter, std::uint16_t port) {
    return UdpPortCheck::check(adapter, port);
}

FirewallFacts SystemHost::firewall() {
    return FirewallFacts{FirewallCheck::NotApplicable, {}, false};
}

bool SystemHost::hasRoute(Ipv4 destination) {
    MIB_IPFORWARDROW row{};
    return GetBestRoute(htonl(destination.toHostOrder()), 0, &row) == NO_ERROR;
}

Result<std::unique_ptr<WireTap>, std::error_code> SystemHost::openWireTap(int /*interfaceIndex*/,
                                                                          std::uint16_t /*udpPort*/) {
    return Failure{std::make_error_code(std::errc::not_supported)};
}

VendorTable SystemHost::vendorTable() {
    return BuiltInVendors::table();
}

} // namespace fw
