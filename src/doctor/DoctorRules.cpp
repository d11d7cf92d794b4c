// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/DoctorRules.h"

#include "common/RecordHeader.h"
#include "discovery/DeviceInventory.h"
#include "netif/AdapterRules.h"
#include "upgrade/TftpPackets.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>

namespace fw::doctor {
namespace {

// The ports the firewall must let in, as the messages name them: the searches' and Set IP's, where
// the devices answer, and the TFTP transfer's, where they acknowledge.
std::string searchPort() {
    return std::to_string(kWorkstationPort);
}
std::string tftpPort() {
    return std::to_string(kTftpLocalPort);
}

struct StateText {
    InterfaceState state;
    std::string_view name;
};

constexpr std::array<StateText, 8> kStateNames{{
    {InterfaceState::Usable, "usable"},
    {InterfaceState::NoCarrier, "no-carrier"},
    {InterfaceState::Down, "down"},
    {InterfaceState::NoIpv4, "no-ipv4"},
    {InterfaceState::Loopback, "loopback"},
    {InterfaceState::PointToPoint, "point-to-point"},
    {InterfaceState::DialUp, "dial-up"},
}};

InterfaceState stateOf(AdapterSkip skip) {
    switch (skip) {
    case AdapterSkip::DialUp:
        return InterfaceState::DialUp;
    case AdapterSkip::Down:
        return InterfaceState::Down;
    case AdapterSkip::Loopback:
        return InterfaceState::Loopback;
    case AdapterSkip::PointToPoint:
        return InterfaceState::PointToPoint;
    case AdapterSkip::NoIpv4:
        break;
    }
    return InterfaceState::NoIpv4;
}

std::string rpFix(const std::string& name) {
    return "sysctl -w net.ipv4.conf." + name + ".rp_filter=2";
}

// Loose filtering still drops a source this host has no route to (an isolated bench without a
// default route); only switching it off for the adapter lets such an answer in. The kernel applies
// the larger of "all" and the adapter's own value, so both go to 0.
std::string rpOffFix(const std::string& name) {
    return "sysctl -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf." + name + ".rp_filter=0";
}

// A fix is written in the host system's own terms: Linux's iproute2, sysctl, kill and sudo;
// Windows' netsh, taskkill and an administrator's command prompt.
bool onWindows(HostSystem system) {
    return system == HostSystem::Windows;
}

// The name as one word on the system's command line: Windows' adapter names have spaces
// ("Ethernet 2"). Bytes past ASCII are letters of a UTF-8 name.
std::string word(HostSystem system, const std::string& name) {
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x80 || std::isalnum(u) != 0 || c == '-' || c == '_' || c == '.' || c == '@';
    });
    if (plain) {
        return name;
    }
    if (onWindows(system)) {
        return "\"" + name + "\"";
    }
    std::string quoted = "'";
    for (const char c : name) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The doctor with the rights to see every port holder (and, on Linux, the firewall and the wire).
std::string asAdministrator(HostSystem system) {
    return onWindows(system) ? "fernwick-cli doctor (in a command prompt run as administrator)"
                             : "sudo fernwick-cli doctor";
}

std::string upCommand(HostSystem system, const std::string& name) {
    return onWindows(system) ? "netsh interface set interface name=\"" + name + "\" admin=enabled"
                             : "ip link set dev " + word(system, name) + " up";
}

std::string addAddressCommand(HostSystem system, const std::string& name) {
    return onWindows(system)
               ? "netsh interface ipv4 add address name=\"" + name + "\" address=ADDRESS mask=MASK"
               : "ip address add ADDRESS/PREFIX dev " + word(system, name);
}

// Where a fix holds a value the doctor cannot know, the message says how to choose it.
std::string_view chooseAddress(HostSystem system) {
    return onWindows(system) ? " For ADDRESS and MASK choose a free address in the devices' subnet and "
                               "that subnet's mask."
                             : " For ADDRESS/PREFIX choose a free address in the devices' subnet and that "
                               "subnet's prefix length.";
}

std::string holderText(HostSystem system, const std::vector<PortHolder>& holders) {
    std::string out;
    for (const PortHolder& h : holders) {
        out += out.empty() ? "" : ", ";
        const std::string pid = "pid " + std::to_string(h.pid);
        if (h.pid == 0) {
            out += onWindows(system) ? "a process Windows does not name" : "a process of another user";
        } else if (h.name.empty()) {
            // Windows lists every owner's pid, but names another user's process only to an administrator.
            out += onWindows(system) ? "a process of another user (" + pid + ")" : "a process (" + pid + ")";
        } else {
            out += h.name + " (" + pid + ")";
        }
    }
    return out.empty() ? "another program" : out;
}

std::string holderFix(HostSystem system, const std::vector<PortHolder>& holders) {
    std::string pids;
    for (const PortHolder& h : holders) {
        if (h.pid != 0) {
            pids += (onWindows(system) ? " /PID " : " ") + std::to_string(h.pid);
        }
    }
    // Without a pid the user needs more rights to learn it; say how.
    if (pids.empty()) {
        return asAdministrator(system);
    }
    return (onWindows(system) ? "taskkill" : "kill") + pids;
}

std::string acceptRule(const DropChain& c) {
    return "nft insert rule " + c.family + " " + c.table + " " + c.chain + " udp dport { " + searchPort() +
           ", " + tftpPort() + " } accept";
}

const InterfaceFacts* interfaceNamed(const DoctorFacts& facts, const std::string& name) {
    const auto it = std::find_if(facts.interfaces.begin(), facts.interfaces.end(),
                                 [&](const InterfaceFacts& f) { return f.adapter.interfaceName == name; });
    return it == facts.interfaces.end() ? nullptr : &*it;
}

// "10.77.2.0/24"
std::string subnetText(Ipv4 ip, Ipv4 mask) {
    const std::uint32_t m = mask.toHostOrder();
    return Ipv4::fromHostOrder(ip.toHostOrder() & m).toString() + "/" + std::to_string(std::popcount(m));
}

// Answers the packet socket saw arrive on the adapter that no search socket got. One whose device
// was received on another adapter is no drop: the device is listed (mac-on-two-adapters says why).
std::vector<SeenAnswer> droppedAnswers(const ProbeFacts& probe, const ProbeAdapter& a) {
    std::vector<SeenAnswer> out;
    for (const SeenAnswer& seen : a.onWire) {
        const bool listed =
            std::any_of(probe.adapters.begin(), probe.adapters.end(), [&](const ProbeAdapter& b) {
                return std::any_of(b.received.begin(), b.received.end(),
                                   [&](const SeenAnswer& r) { return r.mac == seen.mac; });
            });
        if (!listed) {
            out.push_back(seen);
        }
    }
    return out;
}

bool strict(const InterfaceFacts& f) {
    return f.rpFilter && f.rpFilter->effective() == 1;
}

// The probe got an answer from outside the adapter's subnet there and saw none dropped: this host
// routes such sources back out of the adapter, so strict filtering lets them in.
std::optional<Ipv4> foreignAnswerLetIn(const DoctorFacts& facts, const std::string& name) {
    if (!facts.probe.wireWatched) {
        return std::nullopt;
    }
    for (const ProbeAdapter& a : facts.probe.adapters) {
        if (a.interfaceName != name || !droppedAnswers(facts.probe, a).empty()) {
            continue;
        }
        for (const SeenAnswer& r : a.received) {
            if (!inSubnet(r.source, a.ip, a.mask)) {
                return r.source;
            }
        }
    }
    return std::nullopt;
}

// The fix that makes an adapter searchable, by its reason for being skipped.
std::string searchableFix(HostSystem system, const AdapterFacts& a, ListingPath path) {
    const auto skip = adapterSkip(a, path);
    if (skip == AdapterSkip::Down) {
        return upCommand(system, a.interfaceName);
    }
    return skip == AdapterSkip::NoIpv4 ? addAddressCommand(system, a.interfaceName) : "";
}

// A port of a bridge or bond needs no address: its master carries it and is searched in its place.
bool portFinding(const InterfaceFacts& f, HostSystem system, ListingPath path, std::vector<Finding>& out) {
    if (!f.master) {
        return false;
    }
    const std::string& n = f.adapter.interfaceName;
    const std::string& m = f.master->interfaceName;
    if (!adapterSkip(*f.master, path)) {
        out.push_back({Severity::Info,
                       "bridge-port",
                       n,
                       {},
                       n + " is a port of the bridge or bond " + m + ", which carries the address " +
                           toText(f.master->ip) + " and is searched in its place.",
                       {}});
        return true;
    }
    const std::string fix = searchableFix(system, *f.master, path);
    out.push_back({Severity::Warning,
                   "no-ipv4",
                   n,
                   {},
                   n + " is a port of the bridge or bond " + m + ", which cannot be searched (" +
                       std::string(stateName(stateOf(*adapterSkip(*f.master, path)))) + "): make " + m +
                       " searchable." +
                       std::string(fix.find("ADDRESS") != std::string::npos ? chooseAddress(system) : ""),
                   fix});
    return true;
}

void interfaceFindings(const DoctorFacts& facts, const InterfaceFacts& f, InterfaceState state,
                       std::vector<Finding>& out) {
    const std::string& n = f.adapter.interfaceName;
    const HostSystem system = facts.system;
    switch (state) {
    case InterfaceState::Down:
        out.push_back({Severity::Warning,
                       "interface-down",
                       n,
                       {},
                       n + " is down: no search runs on it.",
                       upCommand(system, n)});
        return;
    case InterfaceState::NoIpv4:
        if (portFinding(f, system, facts.path, out)) {
            return;
        }
        out.push_back({Severity::Warning,
                       "no-ipv4",
                       n,
                       {},
                       n +
                           " has no IPv4 address: no search runs on it. Give it an address on the "
                           "devices' segment." +
                           std::string(chooseAddress(system)),
                       addAddressCommand(system, n)});
        return;
    case InterfaceState::Loopback:
        out.push_back({Severity::Info, "loopback", n, {}, n + " is a loopback interface: not searched.", {}});
        return;
    case InterfaceState::PointToPoint:
        out.push_back({Severity::Info,
                       "point-to-point",
                       n,
                       {},
                       n + " is a point-to-point link: not searched, it carries no broadcast.",
                       {}});
        return;
    case InterfaceState::DialUp:
        out.push_back({Severity::Info, "dial-up", n, {}, n + " is a dial-up adapter: not searched.", {}});
        return;
    case InterfaceState::NoCarrier:
        out.push_back({Severity::Warning,
                       "no-carrier",
                       n,
                       {},
                       n + " has no carrier (cable unplugged or link partner down): it is searched, but "
                           "no answer can arrive.",
                       {}});
        break;
    case InterfaceState::Usable:
        break;
    }
    if (strict(f)) {
        const std::string setting =
            n + " uses strict reverse-path filtering (rp_filter all=" + std::to_string(f.rpFilter->all) +
            ", " + n + "=" + std::to_string(f.rpFilter->own) + ")";
        if (const auto letIn = foreignAnswerLetIn(facts, n)) {
            out.push_back({Severity::Info,
                           "rp-filter-strict",
                           n,
                           {},
                           setting + "; this host routes the answer from " + letIn->toString() +
                               ", outside the subnet, back out of " + n +
                               ", so it arrived and none was dropped. A device on a subnet without such "
                               "a route would still be dropped.",
                           rpFix(n)});
        } else {
            out.push_back({Severity::Warning,
                           "rp-filter-strict",
                           n,
                           {},
                           setting + ": answers from devices on other subnets (factory-fresh or moved "
                                     "ones) are dropped by this host and never listed.",
                           rpFix(n)});
        }
    }
    if (f.port.state == PortState::InUse) {
        out.push_back({Severity::Problem,
                       "port-in-use",
                       n,
                       {},
                       "UDP port " + searchPort() + " on " + n + " is held by " +
                           holderText(system, f.port.holders) +
                           ": a search cannot listen there, so answers on " + n + " are lost to it.",
                       holderFix(system, f.port.holders)});
    } else if (f.port.state == PortState::Failed) {
        out.push_back({Severity::Warning,
                       "port-unavailable",
                       n,
                       {},
                       "UDP port " + searchPort() + " cannot be bound on " + n + ": " + f.port.error,
                       {}});
    }
}

void firewallFindings(const DoctorFacts& facts, std::vector<Finding>& out) {
    switch (facts.firewall.check) {
    case FirewallCheck::NeedsRoot:
        out.push_back({Severity::Info,
                       "firewall-not-checked",
                       {},
                       {},
                       "The nftables ruleset was not checked: reading it needs root.",
                       asAdministrator(facts.system)});
        return;
    case FirewallCheck::Unreadable:
        out.push_back(
            {Severity::Info,
             "firewall-not-checked",
             {},
             {},
             "The nftables ruleset could not be read (nf_tables is not loaded, so it filters nothing).",
             {}});
        return;
    case FirewallCheck::NotApplicable:
        if (onWindows(facts.system)) {
            out.push_back(
                {Severity::Info,
                 "not-applicable",
                 {},
                 {},
                 "Windows Firewall's rules are not read, and answers cannot be watched on the wire: "
                 "the firewall must let UDP ports " +
                     searchPort() + " and " + tftpPort() +
                     " in (allow fernwick-cli when Windows asks, or add the rule below in a "
                     "PowerShell run as administrator).",
                 "New-NetFirewallRule -DisplayName fernwick-cli -Direction Inbound -Protocol UDP "
                 "-LocalPort " +
                     searchPort() + "," + tftpPort() + " -Action Allow"});
        } else {
            out.push_back({Severity::Info,
                           "not-applicable",
                           {},
                           {},
                           "This system has no nftables: the firewall was not checked, nor can answers be "
                           "watched on the wire; it must let UDP " +
                               searchPort() + " and " + tftpPort() + " in.",
                           {}});
        }
        return;
    case FirewallCheck::Checked:
        break;
    }
    // The policy says nothing of the rules before it. When answers arrived and the probe saw none
    // dropped on the wire, the chain evidently lets them in.
    bool droppedOnWire = false;
    bool received = false;
    for (const ProbeAdapter& a : facts.probe.adapters) {
        droppedOnWire = droppedOnWire || !droppedAnswers(facts.probe, a).empty();
        received = received || !a.received.empty();
    }
    const bool shownHarmless = facts.probe.wireWatched && received && !droppedOnWire;
    for (const DropChain& c : facts.firewall.dropChains) {
        const std::string name = c.family + " " + c.table + " " + c.chain;
        if (shownHarmless) {
            out.push_back({Severity::Info,
                           "firewall-input-drop",
                           {},
                           {},
                           "nftables chain " + name +
                               " drops input by default; no discovery answer was "
                               "dropped in this run. TFTP acknowledgements to UDP port " +
                               tftpPort() + " must be accepted too.",
                           acceptRule(c)});
        } else {
            out.push_back({Severity::Warning,
                           "firewall-input-drop",
                           {},
                           {},
                           "nftables chain " + name +
                               " drops input by default: unless a rule accepts UDP to "
                               "ports " +
                               searchPort() + " and " + tftpPort() +
                               ", device answers and TFTP acknowledgements are dropped.",
                           acceptRule(c)});
        }
    }
}

std::string adapterOf(const ProbeFacts& probe, Ipv4 ip) {
    for (const ProbeAdapter& a : probe.adapters) {
        if (a.ip == ip) {
            return a.interfaceName;
        }
    }
    return ip.toString();
}

std::optional<Finding> conflictFinding(HostSystem system, const ProbeFacts& probe,
                                       const DeviceInventory::Event& e) {
    using Kind = DeviceInventory::EventKind;
    if (e.devices.size() < 2 || (e.kind != Kind::DuplicateIp && e.kind != Kind::MacOnTwoAdapters)) {
        return std::nullopt;
    }
    const DeviceRow& last = e.devices.back();
    const SeenAnswer device{last.mac, last.ip};
    std::string names; // the devices' MACs, or the adapters they answered on
    for (std::size_t i = 0; i < e.devices.size(); ++i) {
        names += i == 0 ? "" : i + 1 == e.devices.size() ? " and " : ", ";
        names += e.kind == Kind::DuplicateIp ? formatMac(e.devices[i].mac)
                                             : adapterOf(probe, e.devices[i].adapterIp);
    }
    if (e.kind == Kind::MacOnTwoAdapters) {
        const std::string first = adapterOf(probe, e.devices.front().adapterIp);
        return Finding{Severity::Warning,
                       "mac-on-two-adapters",
                       first,
                       device,
                       "Device " + formatMac(last.mac) + " answers on " + names +
                           ": their segments are bridged (or looped), or the adapters are on one segment, "
                           "so a search may list it on either. Take all but one adapter off that segment, "
                           "or search on one only.",
                       "fernwick-cli search --interface " + word(system, first)};
    }
    const auto a = std::find_if(probe.adapters.begin(), probe.adapters.end(),
                                [&](const ProbeAdapter& p) { return p.ip == last.adapterIp; });
    const Ipv4 mask = a == probe.adapters.end() ? Ipv4{} : a->mask;
    const std::string where = adapterOf(probe, last.adapterIp);
    return Finding{Severity::Warning,
                   "duplicate-ip",
                   where,
                   device,
                   "Devices " + names + " answer from one address, " + last.ip.toString() + ", on " + where +
                       ": a search lists only the first to answer, and a command by address reaches either. "
                       "Give each its own address; for ADDRESS choose a free one in " +
                       subnetText(last.adapterIp, mask) + ".",
                   "fernwick-cli set-ip " + formatMac(last.mac) + " --ip ADDRESS --mask " + mask.toString()};
}

// Two devices on one address, or one device on two adapters: the watch's rules, applied to every
// answer the probe got or saw on the wire.
void conflictFindings(HostSystem system, const ProbeFacts& probe, std::vector<Finding>& out) {
    AdapterTable table;
    std::vector<DeviceRow> rows;
    for (const ProbeAdapter& a : probe.adapters) {
        AdapterEntry entry;
        entry.ip = a.ip;
        entry.mask = a.mask;
        entry.interfaceName = a.interfaceName;
        table.push_back(entry);
        std::vector<MacAddress> macs;
        for (const auto* list : {&a.received, &a.onWire}) {
            for (const SeenAnswer& seen : *list) {
                if (std::find(macs.begin(), macs.end(), seen.mac) == macs.end()) {
                    macs.push_back(seen.mac);
                    DeviceRow row;
                    row.ip = seen.source;
                    row.mac = seen.mac;
                    row.adapterIp = a.ip;
                    rows.push_back(row);
                }
            }
        }
    }
    DeviceInventory inventory(1);
    for (const DeviceInventory::Event& e : inventory.update(rows, table)) {
        if (auto f = conflictFinding(system, probe, e)) {
            out.push_back(std::move(*f));
        }
    }
}

void probeFindings(const DoctorFacts& facts, std::vector<Finding>& out) {
    if (!facts.probe.ran) {
        return;
    }
    if (!facts.probe.wireWatched && !onWindows(facts.system)) { // elsewhere "not-applicable" says it
        out.push_back({Severity::Info,
                       "probe-not-watched",
                       {},
                       {},
                       "Answers that reach an adapter but are dropped by this host cannot be seen without "
                       "CAP_NET_RAW; as root the doctor names each such device and the cause.",
                       asAdministrator(facts.system)});
    }
    conflictFindings(facts.system, facts.probe, out);
    for (const ProbeAdapter& a : facts.probe.adapters) {
        for (const SeenAnswer& seen : droppedAnswers(facts.probe, a)) {
            const std::string who = "Device " + formatMac(seen.mac) + " at " + seen.source.toString() +
                                    " answered on " + a.interfaceName + ", but this host dropped the answer";
            const InterfaceFacts* f = interfaceNamed(facts, a.interfaceName);
            const bool routeBack =
                std::find(a.noRouteBack.begin(), a.noRouteBack.end(), seen.source) == a.noRouteBack.end();
            const int rpFilter = f != nullptr && f->rpFilter ? f->rpFilter->effective() : 0;
            if (f != nullptr && f->port.state == PortState::InUse) {
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": port " + searchPort() + " there is held by " +
                                   holderText(facts.system, f->port.holders) + ".",
                               holderFix(facts.system, f->port.holders)});
            } else if (f != nullptr && strict(*f) && !inSubnet(seen.source, a.ip, a.mask)) {
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": its address is outside " + a.interfaceName +
                                   "'s subnet and strict "
                                   "reverse-path filtering (rp_filter=1) drops it.",
                               routeBack ? rpFix(a.interfaceName) : rpOffFix(a.interfaceName)});
            } else if (rpFilter == 2 && !routeBack) {
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": this host has no route back to " + seen.source.toString() +
                                   ", so loose reverse-path filtering (rp_filter=2) drops it.",
                               rpOffFix(a.interfaceName)});
            } else if (!facts.firewall.dropChains.empty()) {
                const DropChain& c = facts.firewall.dropChains.front();
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": most likely nftables chain " + c.family + " " + c.table + " " +
                                   c.chain + " drops it (its policy is drop).",
                               acceptRule(c)});
            } else if (facts.firewall.legacyIptables) {
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": most likely a legacy iptables rule drops it (the filter table is "
                                     "in use; its rules are not read).",
                               "iptables-legacy -I INPUT -p udp -m multiport --dports " + searchPort() + "," +
                                   tftpPort() + " -j ACCEPT"});
            } else {
                const bool checked = facts.firewall.check == FirewallCheck::Checked;
                out.push_back({Severity::Problem, "answer-dropped", a.interfaceName, seen,
                               who + ": the cause is unknown (" +
                                   (checked ? "no reverse-path filter, held port or firewall chain found "
                                              "explains it)."
                                            : "the firewall was not checked: that needs root)."),
                               checked ? "" : asAdministrator(facts.system)});
            }
        }
    }
}

// Two searched adapters in one subnet: with the kernel's defaults either may answer ARP for the
// other's address, so a device's answer to one arrives on the other.
void sharedSubnetFindings(const DoctorFacts& facts, const std::vector<InterfaceState>& states,
                          std::vector<Finding>& out) {
    for (std::size_t i = 0; i < facts.interfaces.size() && i < states.size(); ++i) {
        for (std::size_t j = i + 1; j < facts.interfaces.size() && j < states.size(); ++j) {
            const InterfaceFacts& a = facts.interfaces[i];
            const InterfaceFacts& b = facts.interfaces[j];
            if (!isSearched(states[i]) || !isSearched(states[j]) || !a.adapter.ip || !b.adapter.ip ||
                !a.adapter.mask || !b.adapter.mask) {
                continue;
            }
            const Ipv4 wider =
                Ipv4::fromHostOrder(a.adapter.mask->toHostOrder() & b.adapter.mask->toHostOrder());
            if (!inSubnet(*a.adapter.ip, *b.adapter.ip, wider)) {
                continue;
            }
            const std::string pair = a.adapter.interfaceName + " (" +
                                     subnetText(*a.adapter.ip, *a.adapter.mask) + ") and " +
                                     b.adapter.interfaceName + " (" +
                                     subnetText(*b.adapter.ip, *b.adapter.mask) + ") are in one subnet";
            if (onWindows(facts.system)) { // the strong host model: no ARP flux, no setting for it
                out.push_back({Severity::Info,
                               "shared-subnet",
                               a.adapter.interfaceName,
                               {},
                               pair + "; Windows answers ARP for each address only on its own adapter.",
                               {}});
                continue;
            }
            const bool guarded = a.arpFluxGuarded && b.arpFluxGuarded;
            out.push_back(
                {guarded ? Severity::Info : Severity::Warning,
                 "shared-subnet",
                 a.adapter.interfaceName,
                 {},
                 guarded ? pair + "; arp_ignore and arp_announce keep each answering ARP for its own address."
                         : pair + ": either may answer ARP for the other's address (ARP flux), so answers "
                                  "arrive on the wrong adapter and devices show on one adapter only or flip "
                                  "between them. Set the sysctls below, or take one adapter off the LAN.",
                 "sysctl -w net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2"});
        }
    }
}

// The first interface that one command would make searchable; with --interface, looking at all.
void noAdapterFinding(const DoctorFacts& facts, std::vector<Finding>& out) {
    std::string message = "No adapter can be searched on: none is up with an IPv4 address on a broadcast "
                          "segment.";
    std::string fix;
    for (const InterfaceFacts& f : facts.interfaces) {
        const AdapterFacts& target = f.master ? *f.master : f.adapter;
        fix = searchableFix(facts.system, target, facts.path);
        if (!fix.empty()) {
            break;
        }
    }
    if (fix.find("ADDRESS") != std::string::npos) {
        message += chooseAddress(facts.system);
    } else if (fix.empty() && facts.restricted) {
        const auto port = std::find_if(facts.interfaces.begin(), facts.interfaces.end(),
                                       [](const InterfaceFacts& f) { return f.master.has_value(); });
        message = "None of the interfaces named can be searched on; look at every interface.";
        fix = "fernwick-cli doctor";
        if (port != facts.interfaces.end()) {
            message = "None of the interfaces named can be searched on; look at the master of " +
                      port->adapter.interfaceName + ".";
            fix += " --interface " + port->master->interfaceName;
        }
    }
    out.push_back({Severity::Problem, "no-usable-adapter", {}, {}, message, fix});
}

} // namespace

bool isSearched(InterfaceState state) {
    return state == InterfaceState::Usable || state == InterfaceState::NoCarrier;
}

std::string_view stateName(InterfaceState state) {
    for (const StateText& s : kStateNames) {
        if (s.state == state) {
            return s.name;
        }
    }
    return "unknown";
}

std::string_view reversePathMode(int value) {
    switch (value) {
    case 0:
        return "off";
    case 1:
        return "strict";
    case 2:
        return "loose";
    default:
        return "invalid";
    }
}

std::string_view severityName(Severity severity) {
    switch (severity) {
    case Severity::Info:
        return "info";
    case Severity::Warning:
        return "warning";
    case Severity::Problem:
        break;
    }
    return "problem";
}

std::vector<InterfaceState> classifyInterfaces(const std::vector<InterfaceFacts>& interfaces,
                                               ListingPath path) {
    std::vector<InterfaceState> states;
    for (const InterfaceFacts& f : interfaces) {
        if (const auto skip = adapterSkip(f.adapter, path)) {
            states.push_back(stateOf(*skip));
        } else if (f.adapter.link && !f.adapter.link->carrier) {
            states.push_back(InterfaceState::NoCarrier);
        } else {
            states.push_back(InterfaceState::Usable);
        }
    }
    return states;
}

std::vector<Finding> findingsFor(const DoctorFacts& facts, const std::vector<InterfaceState>& states) {
    std::vector<Finding> out;
    for (std::size_t i = 0; i < facts.interfaces.size() && i < states.size(); ++i) {
        interfaceFindings(facts, facts.interfaces[i], states[i], out);
    }
    sharedSubnetFindings(facts, states, out);
    if (std::none_of(states.begin(), states.end(), isSearched)) {
        noAdapterFinding(facts, out);
    }
    firewallFindings(facts, out);
    probeFindings(facts, out);
    return out;
}

int exitStatusFor(const std::vector<Finding>& findings) {
    const bool found = std::any_of(findings.begin(), findings.end(),
                                   [](const Finding& f) { return f.severity != Severity::Info; });
    return found ? 1 : 0;
}

std::optional<std::string> searchHint(const std::string& interfaceName,
                                      const std::optional<ReversePathFilter>& rpFilter, bool carrier) {
    const std::string doctor = "; 'fernwick-cli doctor' tells more";
    if (!carrier) {
        return interfaceName + " got no answer: it has no carrier" + doctor;
    }
    if (rpFilter && rpFilter->effective() == 1) {
        return interfaceName +
               " got no answer: strict reverse-path filtering (rp_filter=1) drops answers "
               "from devices on other subnets (" +
               rpFix(interfaceName) + " allows them)" + doctor;
    }
    return std::nullopt;
}

} // namespace fw::doctor
