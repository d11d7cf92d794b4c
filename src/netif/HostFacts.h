// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace fw {

// What the platform tells about the host around the adapters: kernel settings, who holds a port,
// the firewall. Plain values, read by the platform layer and judged by the doctor's rules.

// The system the host runs. Linux has rp_filter, the ARP sysctls, nftables and packet sockets;
// Windows has none of them, and its commands and privileges have other names.
enum class HostSystem { Linux, Windows };

// net.ipv4.conf.{all,IF}.rp_filter. The kernel applies the larger of the two:
// 0 off, 1 strict (the source must be routed back out of the arriving adapter), 2 loose.
struct ReversePathFilter {
    int all = 0;
    int own = 0;
    int effective() const { return std::max(all, own); }
    bool operator==(const ReversePathFilter&) const = default;
};

// Why a kernel setting could not be had.
enum class SettingError {
    BadName,    // the interface name would leave the settings' directory ('/', "." or "..")
    Unreadable, // the setting is missing or could not be read
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

// An nftables base chain on the input hook whose policy drops what no rule accepts.
struct DropChain {
    std::string family; // "ip" or "inet"
    std::string table;
    std::string chain;
    bool operator==(const DropChain&) const = default;
};

// NotApplicable: the system has no nftables (Windows); its own firewall is not read.
enum class FirewallCheck { Checked, NeedsRoot, Unreadable, NotApplicable };

struct FirewallFacts {
    FirewallCheck check = FirewallCheck::NeedsRoot;
    std::vector<DropChain> dropChains;
    bool legacyIptables = false; // root only: the legacy iptables filter table exists (rules not read)
};

} // namespace fw
