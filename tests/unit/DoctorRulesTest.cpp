// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/DoctorReport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fw::doctor {
namespace {

InterfaceFacts iface(std::string name, LinkFlags link, std::string ip = "10.0.0.1") {
    InterfaceFacts f;
    f.adapter.interfaceName = f.adapter.description = std::move(name);
    f.adapter.ip = Ipv4::parse(ip);
    f.adapter.mask = Ipv4::parse("255.255.255.0");
    f.adapter.link = link;
    f.rpFilter = ReversePathFilter{0, 0};
    f.port.state = PortState::Free;
    return f;
}

// Loopback, down and no IPv4 are judged on real links in DoctorNet.InterfaceFindingsNameTheirCause.
TEST(DoctorRules, InterfaceStatesFollowTheSearchRules) {
    std::vector<InterfaceFacts> list{iface("tun0", {true, false, true}),
                                     iface("nocarrier", {true, false, false, false})};
    for (int i = 0; i < 11; ++i) {
        list.push_back(iface("eth" + std::to_string(i), {true, false, false}));
    }
    using S = InterfaceState;
    std::vector<S> expected(11, S::Usable);
    expected.insert(expected.begin(), {S::PointToPoint, S::NoCarrier});
    EXPECT_EQ(classifyInterfaces(list, ListingPath::Main), expected);
}

// Each cause of a dropped answer gets its own fix; without a firewall the cause is unknown (no fix).
// A received foreign answer is no drop, and it shows that strict filtering lets such answers in.
TEST(DoctorRules, DroppedAnswersAreBlamedOnTheirCause) {
    const SeenAnswer foreign{{0, 0x0A, 0x1B, 0, 0, 3}, *Ipv4::parse("192.168.99.7")};
    const SeenAnswer local{{0, 0x0A, 0x1B, 0, 0, 2}, *Ipv4::parse("10.0.0.20")};
    const std::string off = "sysctl -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.eth1.rp_filter=0";
    const struct {
        int rpFilter;
        PortState port;
        SeenAnswer seen;
        bool received;
        std::string fix; // empty: no answer-dropped finding
        bool routeBack = true;
    } cases[] = {
        {1, PortState::Free, foreign, false, off, false}, {2, PortState::Free, foreign, false, off, false},
        {1, PortState::Free, local, false, "-"},          {2, PortState::Free, foreign, false, "-"},
        {0, PortState::InUse, foreign, false, "kill 77"}, {1, PortState::Free, foreign, true, ""},
    };
    for (const auto& c : cases) {
        DoctorFacts facts;
        facts.interfaces.push_back(iface("eth1", {true, false, false}));
        facts.interfaces[0].rpFilter = ReversePathFilter{0, c.rpFilter};
        facts.interfaces[0].port = {c.port, {{77, "nc"}}, {}};
        facts.firewall.check = FirewallCheck::Checked;
        facts.probe = {
            true,
            true,
            {{"eth1", *Ipv4::parse("10.0.0.1"), *Ipv4::parse("255.255.255.0"), true, {}, {c.seen}, {}}}};
        if (c.received) {
            facts.probe.adapters[0].received.push_back(c.seen);
        }
        if (!c.routeBack) {
            facts.probe.adapters[0].noRouteBack.push_back(c.seen.source);
        }
        const DoctorReport r = makeReport(facts);
        const auto dropped = std::find_if(r.findings.begin(), r.findings.end(),
                                          [](const Finding& f) { return f.code == "answer-dropped"; });
        SCOPED_TRACE(c.fix);
        if (c.fix.empty()) {
            EXPECT_EQ(dropped, r.findings.end());
            EXPECT_EQ(r.status, 0); // rp-filter-strict is info
            continue;
        }
        ASSERT_NE(dropped, r.findings.end());
        EXPECT_EQ(dropped->fix, c.fix == "-" ? "" : c.fix);
        EXPECT_EQ(dropped->device, c.seen);
        EXPECT_EQ(r.status, 1);
    }
}

// Fixes name the interface; two searched adapters in one subnet are found.
TEST(DoctorRules, FixesNameTheInterface) {
    const auto fixOf = [](const DoctorFacts& facts, const std::string& code) {
        const DoctorReport r = makeReport(facts);
        const auto f = std::find_if(r.findings.begin(), r.findings.end(),
                                    [&](const Finding& x) { return x.code == code; });
        return f == r.findings.end() ? std::string("none")
                                     : std::string(severityName(f->severity)) + ": " + f->fix;
    };
    DoctorFacts facts;
    facts.restricted = true; // doctor -i lo
    facts.interfaces = {iface("lo", {true, true, false}, "127.0.0.1")};
    EXPECT_EQ(fixOf(facts, "no-usable-adapter"), "problem: fernwick-cli doctor");
    facts.interfaces.push_back(iface("x0", {false, false, false}));
    EXPECT_EQ(fixOf(facts, "no-usable-adapter"), "problem: ip link set dev x0 up");

    facts.interfaces = {iface("eth0", {true, false, false}),
                        iface("wlan0", {true, false, false}, "10.0.0.9")};
    const std::string arp = "sysctl -w net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2";
    EXPECT_EQ(fixOf(facts, "shared-subnet"), "warning: " + arp);
    facts.interfaces[0].arpFluxGuarded = facts.interfaces[1].arpFluxGuarded = true;
    EXPECT_EQ(fixOf(facts, "shared-subnet"), "info: " + arp);
}

// On Windows every fix is a Windows command and no text speaks of Linux's settings or sudo; a
// UTF-8 adapter name stays itself in the JSON.
TEST(DoctorRules, WindowsFindingsUseWindowsTerms) {
    DoctorFacts facts;
    facts.system = HostSystem::Windows;
    facts.firewall.check = FirewallCheck::NotApplicable;
    facts.interfaces = {iface("Ethernet 2", {false, false, false}),
                        iface("r\xc3\xa9seau", {true, false, false}),
                        iface("Wi-Fi", {true, false, false}, "10.0.0.9")};
    for (InterfaceFacts& f : facts.interfaces) {
        f.rpFilter.reset();
        f.arpFluxGuarded = true;
    }
    facts.interfaces[1].port = {PortState::InUse, {{77, ""}}, "in use"};
    const DoctorReport r = makeReport(facts);
    const std::pair<const char*, const char*> expected[] = {
        {"interface-down", "netsh interface set interface name=\"Ethernet 2\" admin=enabled"},
        {"port-in-use", "taskkill /PID 77"},
        {"shared-subnet", ""},
        {"not-applicable", "New-NetFirewallRule -DisplayName fernwick-cli -Direction Inbound -Protocol UDP "
                           "-LocalPort 4001,14321 -Action Allow"},
    };
    ASSERT_EQ(r.findings.size(), std::size(expected));
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
        EXPECT_EQ(r.findings[i].code, expected[i].first);
        EXPECT_EQ(r.findings[i].fix, expected[i].second) << expected[i].first;
    }
    EXPECT_NE(r.findings[1].message.find("a process of another user (pid 77)"), std::string::npos);
    const std::string text = formatText(r);
    for (const char* linux : {"sudo", "sysctl", "nftables", "rp_filter", "ip link", "kill 77"}) {
        EXPECT_EQ(text.find(linux), std::string::npos) << linux << " in:\n" << text;
    }
    EXPECT_EQ(nlohmann::json::parse(formatJson(r))["interfaces"][1]["name"], "r\u00e9seau");
}

TEST(DoctorRules, CleanHostExitsZero) {
    DoctorFacts facts;
    facts.interfaces = {iface("lo", {true, true, false}, "127.0.0.1"), iface("eth0", {true, false, false})};
    facts.firewall.check = FirewallCheck::NeedsRoot;
    EXPECT_EQ(makeReport(facts).status, 0);
    facts.interfaces[1].rpFilter = ReversePathFilter{1, 0}; // all=1 is strict for every interface
    EXPECT_EQ(makeReport(facts).status, 1);
}

TEST(DoctorRules, JsonStaysValidForHostileNames) {
    DoctorFacts facts;
    facts.interfaces = {iface("eth\"0\\", {true, false, false})};
    facts.interfaces[0].port = {PortState::InUse, {{42, "evil\n\x1b[31m\xff"}}, "Address already in use"};
    const auto doc = nlohmann::json::parse(formatJson(makeReport(facts))); // throws when not JSON
    EXPECT_EQ(doc["interfaces"][0]["name"], "eth\"0\\");
    EXPECT_EQ(doc["interfaces"][0]["port_4001"]["holders"][0]["name"], "evil\n\x1b[31m\u00ff");
    EXPECT_EQ(doc["findings"][0]["code"], "port-in-use");
    EXPECT_EQ(doc["status"], 1);
}

} // namespace
} // namespace fw::doctor
