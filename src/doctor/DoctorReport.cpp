// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/DoctorReport.h"

#include "common/Latin1.h"
#include "common/RecordHeader.h"
#include "upgrade/TftpPackets.h"

#include <nlohmann/json.hpp>

namespace fw::doctor {
namespace {

std::string_view portStateName(PortState s) {
    switch (s) {
    case PortState::NotChecked:
        return "not-checked";
    case PortState::Free:
        return "free";
    case PortState::InUse:
        return "in-use";
    case PortState::Failed:
        break;
    }
    return "failed";
}

std::string_view firewallName(FirewallCheck c) {
    switch (c) {
    case FirewallCheck::Checked:
        return "checked";
    case FirewallCheck::NeedsRoot:
        return "needs-root";
    case FirewallCheck::NotApplicable:
        return "not-applicable";
    case FirewallCheck::Unreadable:
        break;
    }
    return "unreadable";
}

using Json = nlohmann::ordered_json; // members in the order written, as the report documents them

bool isUtf8(std::string_view s) {
    std::size_t follow = 0; // continuation bytes still due
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (follow > 0) {
            if ((u & 0xC0U) != 0x80U) {
                return false;
            }
            --follow;
        } else if (u >= 0xF5U || (u >= 0x80U && u < 0xC2U)) {
            return false;
        } else if (u >= 0xF0U) {
            follow = 3;
        } else if (u >= 0xE0U) {
            follow = 2;
        } else if (u >= 0xC2U) {
            follow = 1;
        }
    }
    return follow == 0;
}

// Interface names are UTF-8 (Windows gives them so, and Linux names normally are); a name that is
// not is 8-bit text, read as Latin-1, so any byte gives valid JSON.
Json text(std::string_view s) {
    return isUtf8(s) ? std::string(s) : latin1ToUtf8(s);
}
Json textOrNull(std::string_view s) {
    return s.empty() ? Json(nullptr) : text(s);
}

Json answers(const std::vector<SeenAnswer>& list) {
    Json out = Json::array();
    for (const SeenAnswer& a : list) {
        out.push_back({{"mac", formatMac(a.mac)}, {"ip", a.source.toString()}});
    }
    return out;
}

Json interfaceJson(const InterfaceFacts& f, InterfaceState state) {
    const AdapterFacts& a = f.adapter;
    Json j{{"name", text(a.interfaceName)},
           {"index", a.interfaceIndex},
           {"state", stateName(state)},
           {"searched", isSearched(state)},
           {"ip", a.ip ? Json(a.ip->toString()) : Json(nullptr)},
           {"mask", a.ip ? Json(toText(a.mask)) : Json(nullptr)},
           {"mac", formatMac(a.mac)},
           {"master", f.master ? text(f.master->interfaceName) : Json(nullptr)},
           {"rp_filter", nullptr}};
    if (f.rpFilter) {
        j["rp_filter"] = {{"all", f.rpFilter->all},
                          {"interface", f.rpFilter->own},
                          {"effective", f.rpFilter->effective()},
                          {"mode", reversePathMode(f.rpFilter->effective())}};
    }
    Json holders = Json::array();
    for (const PortHolder& h : f.port.holders) {
        holders.push_back({{"pid", h.pid}, {"name", text(h.name)}});
    }
    j["port_4001"] = {
        {"state", portStateName(f.port.state)}, {"error", textOrNull(f.port.error)}, {"holders", holders}};
    return j;
}

std::string pad(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string interfaceLine(const InterfaceFacts& f, InterfaceState state) {
    const AdapterFacts& a = f.adapter;
    std::string line = "  " + pad(a.interfaceName, 10) + pad(std::string(stateName(state)), 15);
    if (!isSearched(state)) {
        return line + "not searched" + (f.master ? " (port of " + f.master->interfaceName + ")" : "");
    }
    line += toText(a.ip) + "/" + toText(a.mask) + "  " + formatMac(a.mac);
    if (f.rpFilter) { // none where the system has no such filter
        line += "  rp_filter " + std::string(reversePathMode(f.rpFilter->effective()));
    }
    line += "  port " + std::to_string(kWorkstationPort) + " " + std::string(portStateName(f.port.state));
    return line;
}

std::string answerCount(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " answer" : " answers");
}

} // namespace

DoctorReport makeReport(DoctorFacts facts) {
    DoctorReport r;
    r.states = classifyInterfaces(facts.interfaces, facts.path);
    r.findings = findingsFor(facts, r.states);
    r.status = exitStatusFor(r.findings);
    r.facts = std::move(facts);
    return r;
}

std::string formatText(const DoctorReport& report) {
    const DoctorFacts& facts = report.facts;
    std::string out = "Interfaces:\n";
    for (std::size_t i = 0; i < facts.interfaces.size(); ++i) {
        out += interfaceLine(facts.interfaces[i], report.states[i]) + "\n";
    }
    out += "Firewall: ";
    switch (facts.firewall.check) {
    case FirewallCheck::Checked:
        out += facts.firewall.dropChains.empty() ? "no nftables input chain drops by default\n"
                                                 : "nftables input chains drop by default (see below)\n";
        break;
    case FirewallCheck::NeedsRoot:
        out += "not checked (needs root)\n";
        break;
    case FirewallCheck::Unreadable:
        out += "no nftables ruleset could be read\n";
        break;
    case FirewallCheck::NotApplicable:
        out += facts.system == HostSystem::Windows
                   ? "Windows Firewall, not read (it must let UDP " + std::to_string(kWorkstationPort) +
                         " and " + std::to_string(kTftpLocalPort) + " in)\n"
                   : "not applicable (no nftables here; the system's own firewall is not read)\n";
        break;
    }
    if (facts.firewall.legacyIptables) {
        out += "          the legacy iptables filter table is in use (its rules are not read)\n";
    }
    if (facts.probe.ran) {
        out += "Probe (one search on each searched adapter):\n";
        for (const ProbeAdapter& a : facts.probe.adapters) {
            out += "  " + pad(a.interfaceName, 10);
            if (!a.sent) {
                out += "request not sent\n";
                continue;
            }
            out += answerCount(a.received.size()) + " received";
            if (facts.probe.wireWatched) {
                out += ", " + answerCount(a.onWire.size()) + " seen on the wire";
            }
            out += "\n";
        }
    }
    bool any = false;
    for (const Finding& f : report.findings) {
        if (!any) {
            out += "Findings:\n";
            any = true;
        }
        out += "  [" + std::string(severityName(f.severity)) + "] " + f.message + "\n";
        if (!f.fix.empty()) {
            out += "      fix: " + f.fix + "\n";
        }
    }
    out += report.status == 0 ? "No problem found.\n" : "Problems found: see the fixes above.\n";
    return out;
}

std::string formatJson(const DoctorReport& report) {
    const DoctorFacts& facts = report.facts;
    Json interfaces = Json::array();
    for (std::size_t i = 0; i < facts.interfaces.size(); ++i) {
        interfaces.push_back(interfaceJson(facts.interfaces[i], report.states[i]));
    }
    Json chains = Json::array();
    for (const DropChain& c : facts.firewall.dropChains) {
        chains.push_back({{"family", text(c.family)}, {"table", text(c.table)}, {"chain", text(c.chain)}});
    }
    Json adapters = Json::array();
    for (const ProbeAdapter& a : facts.probe.adapters) {
        adapters.push_back({{"name", text(a.interfaceName)},
                            {"ip", a.ip.toString()},
                            {"sent", a.sent},
                            {"received", answers(a.received)},
                            {"on_wire", facts.probe.wireWatched ? answers(a.onWire) : Json(nullptr)}});
    }
    Json findings = Json::array();
    for (const Finding& f : report.findings) {
        findings.push_back({{"severity", severityName(f.severity)},
                            {"code", text(f.code)},
                            {"interface", textOrNull(f.interfaceName)},
                            {"device", f.device ? Json{{"mac", formatMac(f.device->mac)},
                                                       {"ip", f.device->source.toString()}}
                                                : Json(nullptr)},
                            {"message", text(f.message)},
                            {"fix", textOrNull(f.fix)}});
    }
    const Json doc{
        {"status", report.status},
        {"interfaces", interfaces},
        {"firewall",
         {{"check", firewallName(facts.firewall.check)},
          {"input_drop_chains", chains},
          {"legacy_iptables", facts.firewall.legacyIptables}}},
        {"probe",
         {{"ran", facts.probe.ran}, {"wire_watched", facts.probe.wireWatched}, {"adapters", adapters}}},
        {"findings", findings}};
    return doc.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}

} // namespace fw::doctor
