// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/core/DoctorReport.h"

#include "doctor/core/JsonWriter.h"

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
    case FirewallCheck::Unreadable:
        break;
    }
    return "unreadable";
}

void answers(JsonWriter& j, std::string_view key, const std::vector<SeenAnswer>& list) {
    j.beginArray(key);
    for (const SeenAnswer& a : list) {
        j.beginObject();
        j.value("mac", formatMac(a.mac));
        j.value("ip", a.source.toString());
        j.endObject();
    }
    j.endArray();
}

void interfaceJson(JsonWriter& j, const InterfaceFacts& f, InterfaceState state) {
    const AdapterFacts& a = f.adapter;
    j.beginObject();
    j.value("name", a.interfaceName);
    j.value("index", a.interfaceIndex);
    j.value("state", stateName(state));
    j.value("searched", isSearched(state));
    if (!a.ip) {
        j.null("ip");
        j.null("mask");
    } else {
        j.value("ip", a.ip->toString());
        j.value("mask", toText(a.mask));
    }
    j.value("mac", formatMac(a.mac));
    if (f.master) {
        j.value("master", f.master->interfaceName);
    } else {
        j.null("master");
    }
    if (f.rpFilter) {
        j.beginObject("rp_filter");
        j.value("all", f.rpFilter->all);
        j.value("interface", f.rpFilter->own);
        j.value("effective", f.rpFilter->effective());
        j.value("mode", reversePathMode(f.rpFilter->effective()));
        j.endObject();
    } else {
        j.null("rp_filter");
    }
    j.beginObject("port_4001");
    j.value("state", portStateName(f.port.state));
    if (f.port.error.empty()) {
        j.null("error");
    } else {
        j.value("error", f.port.error);
    }
    j.beginArray("holders");
    for (const PortHolder& h : f.port.holders) {
        j.beginObject();
        j.value("pid", h.pid);
        j.value("name", h.name);
        j.endObject();
    }
    j.endArray();
    j.endObject();
    j.endObject();
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
    if (f.rpFilter) {
        line += "  rp_filter " + std::string(reversePathMode(f.rpFilter->effective()));
    }
    line += "  port 4001 " + std::string(portStateName(f.port.state));
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
    JsonWriter j;
    j.beginObject();
    j.value("status", report.status);
    j.beginArray("interfaces");
    for (std::size_t i = 0; i < facts.interfaces.size(); ++i) {
        interfaceJson(j, facts.interfaces[i], report.states[i]);
    }
    j.endArray();
    j.beginObject("firewall");
    j.value("check", firewallName(facts.firewall.check));
    j.beginArray("input_drop_chains");
    for (const DropChain& c : facts.firewall.dropChains) {
        j.beginObject();
        j.value("family", c.family);
        j.value("table", c.table);
        j.value("chain", c.chain);
        j.endObject();
    }
    j.endArray();
    j.value("legacy_iptables", facts.firewall.legacyIptables);
    j.endObject();
    j.beginObject("probe");
    j.value("ran", facts.probe.ran);
    j.value("wire_watched", facts.probe.wireWatched);
    j.beginArray("adapters");
    for (const ProbeAdapter& a : facts.probe.adapters) {
        j.beginObject();
        j.value("name", a.interfaceName);
        j.value("ip", a.ip.toString());
        j.value("sent", a.sent);
        answers(j, "received", a.received);
        if (facts.probe.wireWatched) {
            answers(j, "on_wire", a.onWire);
        } else {
            j.null("on_wire");
        }
        j.endObject();
    }
    j.endArray();
    j.endObject();
    j.beginArray("findings");
    for (const Finding& f : report.findings) {
        j.beginObject();
        j.value("severity", severityName(f.severity));
        j.value("code", f.code);
        if (f.interfaceName.empty()) {
            j.null("interface");
        } else {
            j.value("interface", f.interfaceName);
        }
        if (f.device) {
            j.beginObject("device");
            j.value("mac", formatMac(f.device->mac));
            j.value("ip", f.device->source.toString());
            j.endObject();
        } else {
            j.null("device");
        }
        j.value("message", f.message);
        if (f.fix.empty()) {
            j.null("fix");
        } else {
            j.value("fix", f.fix);
        }
        j.endObject();
    }
    j.endArray();
    j.endObject();
    return j.text();
}

} // namespace fw::doctor
