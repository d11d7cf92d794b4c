// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "netif/core/AdapterFacts.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace fw::doctor {

// net.ipv4.conf.{all,IF}.rp_filter. The kernel applies the larger of the two:
// 0 off, 1 strict (the source must be routed back out of the arriving adapter), 2 loose.
struct ReversePathFilter {
    int all = 0;
    int own = 0;
    int effective() const { return std::max(all, own); }
    bool operator==(const ReversePathFilter&) const = default;
};

// A process holding a UDP socket. pid 0: the socket exists but its owner could not be read
// (another user's process, seen without root).
struct PortHolder {
    int pid = 0;
    std::string name;
    bool operator==(const PortHolder&) const = default;
};

enum class PortState { NotChecked, Free, InUse, Failed };

// Whether 0.0.0.0:4001 tied to the adapter could be bound without SO_REUSEADDR.
struct PortCheck {
    PortState state = PortState::NotChecked;
    std::vector<PortHolder> holders; // InUse: the programs that hold it
    std::string error;               // InUse, Failed: the system's reason
};

struct InterfaceFacts {
    AdapterFacts adapter;
    std::optional<ReversePathFilter> rpFilter; // none: unreadable
    PortCheck port;
    std::optional<AdapterFacts> master; // the bridge or bond this interface is a port of
    // arp_ignore >= 1 and arp_announce >= 2 (the larger of "all" and the interface's own): the host
    // answers ARP for an address only on the adapter that has it.
    bool arpFluxGuarded = false;
};

// An nftables base chain on the input hook whose policy drops what no rule accepts.
struct DropChain {
    std::string family; // "ip" or "inet"
    std::string table;
    std::string chain;
    bool operator==(const DropChain&) const = default;
};

enum class FirewallCheck { Checked, NeedsRoot, Unreadable };

struct FirewallFacts {
    FirewallCheck check = FirewallCheck::NeedsRoot;
    std::vector<DropChain> dropChains;
    bool legacyIptables = false; // root only: the legacy iptables filter table exists (rules not read)
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
};

} // namespace fw::doctor
