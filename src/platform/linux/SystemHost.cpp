// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemHost.h"

#include "platform/linux/IeeeDataFiles.h"
#include "platform/linux/LinuxAdapterSource.h"
#include "platform/linux/NeighbourTable.h"
#include "platform/linux/NftablesChains.h"
#include "platform/linux/PacketTap.h"
#include "platform/linux/RouteLookup.h"
#include "platform/linux/Sysctl.h"
#include "platform/linux/UdpPortCheck.h"

namespace fw {

AdapterListing SystemHost::readAdapters() {
    return LinuxAdapterSource().readListing();
}

void SystemHost::flushNeighbour(Ipv4 ip) {
    NeighbourTable().remove(ip);
}

HostSystem SystemHost::hostSystem() {
    return HostSystem::Linux;
}

std::optional<ReversePathFilter> SystemHost::reversePathFilter(const std::string& interfaceName) {
    if (const auto rp = Sysctl::reversePathFilter(interfaceName)) {
        return *rp;
    }
    return std::nullopt;
}

bool SystemHost::arpFluxGuarded(const std::string& interfaceName) {
    return Sysctl::arpFluxGuarded(interfaceName);
}

PortCheck SystemHost::checkPort(const AdapterFacts& adapter, std::uint16_t port) {
    return UdpPortCheck::check(adapter.interfaceName, adapter.interfaceIndex, port);
}

FirewallFacts SystemHost::firewall() {
    return NftablesChains::inputDropChains();
}

bool SystemHost::hasRoute(Ipv4 destination) {
    return RouteLookup::hasRoute(destination);
}

Result<std::unique_ptr<WireTap>, std::error_code> SystemHost::openWireTap(int interfaceIndex,
                                                                          std::uint16_t udpPort) {
    auto tap = std::make_unique<PacketTap>();
    if (const auto opened = tap->open(interfaceIndex, udpPort); !opened) {
        return Failure{opened.error()};
    }
    return std::unique_ptr<WireTap>(std::move(tap));
}

VendorTable SystemHost::vendorTable() {
    return IeeeDataFiles::read();
}

} // namespace fw
