// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "netif/AdapterFacts.h"
#include "netif/HostFacts.h"

#include <optional>
#include <string>
#include <vector>

namespace fw::doctor {

struct InterfaceFacts {
    AdapterFacts adapter;
    std::optional<ReversePathFilter> rpFilter; // none: unreadable
    PortCheck port;
    std::optional<AdapterFacts> master; // the bridge or bond this interface is a port of
    // arp_ignore >= 1 and arp_announce >= 2 (the larger of "all" and the interface's own): the host
    // answers ARP for an address only on the adapter that has it.
    bool arpFluxGuarded = false;
};

// One discovery answer: who sent it (the device's MAC from bytes 14-19) and from which address.
struct SeenAnswer {
    MacAddress mac{};
    Ipv4 source;
    bool operator==(const SeenAnswer&) const = default;
};

struct ProbeAdapter {
    std::string interfaceName;
    Ipv4 ip;
    Ipv4 mask;
    bool sent = false;                // the request left this adapter
    std::vector<SeenAnswer> received; // answers the search's socket got
    std::vector<SeenAnswer> onWire;   // answers the packet socket saw arrive (when watched)
    std::vector<Ipv4> noRouteBack;    // sources among onWire that this host has no route to
};

struct ProbeFacts {
    bool ran = false;
    bool wireWatched = false; // a packet socket watched every probed adapter (needs CAP_NET_RAW)
    std::vector<ProbeAdapter> adapters;
};

struct DoctorFacts {
    std::vector<InterfaceFacts> interfaces; // every interface, in index order
    bool restricted = false;                // --interface named the interfaces looked at
    ListingPath path = ListingPath::Main;
    FirewallFacts firewall;
    ProbeFacts probe;
    HostSystem system = HostSystem::Linux; // names the settings, commands and privileges of the fixes
};

} // namespace fw::doctor
