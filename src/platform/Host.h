// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/Result.h"
#include "common/VendorTable.h"
#include "netif/AdapterFacts.h"
#include "netif/HostFacts.h"
#include "platform/WireTap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace fw {

// What both programs ask of the operating system about its network: the adapters, the neighbour
// (ARP) table, and the settings, port holders and routes the doctor judges. SystemHost is the one
// implementation per system; the programs' main() builds it, everything else takes a Host& (tests a
// fake).
class Host {
public:
    virtual ~Host() = default;

    // Every adapter with its facts, before any rule.
    virtual AdapterListing readAdapters() = 0;
    // Forgets the neighbour entry for ip, so the next packet to it asks again; quietly does nothing
    // without the right to. Called from the window's thread and the engine's.
    virtual void flushNeighbour(Ipv4 ip) = 0;

    // Which system this is: what exists to be checked, and how its fixes are written.
    virtual HostSystem hostSystem() = 0;
    // The system's reverse-path filter for the interface; none when unreadable or when the system
    // has no such setting (Windows).
    virtual std::optional<ReversePathFilter> reversePathFilter(const std::string& interfaceName) = 0;
    // arp_ignore/arp_announce guard against ARP flux (Linux only).
    virtual bool arpFluxGuarded(const std::string& interfaceName) = 0;
    // Whether a search could listen on the adapter's port, and who holds it when not.
    virtual PortCheck checkPort(const AdapterFacts& adapter, std::uint16_t port) = 0;
    // The host firewall's input chains that drop by default (NotApplicable where there is no nftables).
    virtual FirewallFacts firewall() = 0;
    // Whether a packet to destination could be routed.
    virtual bool hasRoute(Ipv4 destination) = 0;
    // Watches what arrives on the adapter before the host's filters; std::errc::not_supported where
    // the system has no way to.
    virtual Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int interfaceIndex,
                                                                          std::uint16_t udpPort) = 0;
    // The IEEE registries' vendor names as this system has them, read on each call (a few
    // megabytes: callers keep the table). None by default, so a fake host names no vendor.
    virtual VendorTable vendorTable() { return {}; }
};

} // namespace fw
