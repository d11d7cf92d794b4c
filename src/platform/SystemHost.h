// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Host.h"

namespace fw {

// The host this program runs on: linux/SystemHost.cpp or windows/SystemHost.cpp, whichever system
// it is built for. Only the programs' main() (and tests on real adapters) make one.
class SystemHost final : public Host {
public:
    AdapterListing readAdapters() override;
    void flushNeighbour(Ipv4 ip) override;
    HostSystem hostSystem() override;
    std::optional<ReversePathFilter> reversePathFilter(const std::string& interfaceName) override;
    bool arpFluxGuarded(const std::string& interfaceName) override;
    PortCheck checkPort(const AdapterFacts& adapter, std::uint16_t port) override;
    FirewallFacts firewall() override;
    bool hasRoute(Ipv4 destination) override;
    Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int interfaceIndex,
                                                                  std::uint16_t udpPort) override;
    VendorTable vendorTable() override;
};

} // namespace fw
