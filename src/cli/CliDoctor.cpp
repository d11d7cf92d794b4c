// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliDoctor.h"

#include "cli/CliSearch.h"
#include "discovery/core/DiscoveryRecords.h"
#include "doctor/core/DoctorReport.h"
#include "netif/core/AdapterRules.h"
#include "platform/NftablesChains.h"
#include "platform/RouteLookup.h"
#include "platform/Sysctl.h"
#include "platform/UdpPortCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace fw::cli {
namespace {

// The probe is the first search of its driver, so devices answer with sequence 1.
const std::int16_t kProbeSequence = nextSearchSequence(0);

void addOnce(std::vector<doctor::SeenAnswer>& list, const doctor::SeenAnswer& seen) {
    if (std::find_if(list.begin(), list.end(), [&](const auto& a) { return a.mac == seen.mac; }) ==
        list.end()) {
        list.push_back(seen);
    }
}

} // namespace

CliDoctor::CliDoctor(CliContext& ctx) : ctx_(ctx) {}

CliDoctor::~CliDoctor() = default;

asio::awaitable<ExitStatus> CliDoctor::run(const DoctorCommand& command) {
    format_ = command.format;
    const AdapterListing listing = ctx_.listAdapters();
    if (!listing.readable) {
        ctx_.console.err("the kernel's interface list could not be read");
        co_return ExitStatus::Usage;
    }
    facts_.path = listing.path;
    facts_.restricted = !command.interfaces.empty();
    for (const AdapterFacts& a : listing.adapters) {
        const bool named = command.interfaces.empty() ||
                           std::find(command.interfaces.begin(), command.interfaces.end(), a.interfaceName) !=
                               command.interfaces.end();
        if (named) {
            doctor::InterfaceFacts f;
            f.adapter = a;
            f.rpFilter = Sysctl::reversePathFilter(a.interfaceName);
            const auto master =
                std::find_if(listing.adapters.begin(), listing.adapters.end(), [&](const AdapterFacts& m) {
                    return a.masterIndex != 0 && m.interfaceIndex == a.masterIndex;
                });
            if (master != listing.adapters.end()) {
                f.master = *master;
            }
            f.arpFluxGuarded = Sysctl::arpFluxGuarded(a.interfaceName);
            facts_.interfaces.push_back(std::move(f));
        }
    }
    for (const std::string& name : command.interfaces) {
        if (std::none_of(listing.adapters.begin(), listing.adapters.end(),
                         [&](const AdapterFacts& a) { return a.interfaceName == name; })) {
            ctx_.console.err("doctor: no interface named '" + name + "'");
            co_return ExitStatus::Usage;
        }
    }
    const auto states = doctor::classifyInterfaces(facts_.interfaces, facts_.path);
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (doctor::isSearched(states[i])) {
            auto& f = facts_.interfaces[i];
            f.port = UdpPortCheck::check(f.adapter.interfaceName, f.adapter.interfaceIndex, kWorkstationPort);
        }
    }
    facts_.firewall = NftablesChains::inputDropChains();
    co_await probe(command.timeout);
    co_return report();
}

asio::awaitable<void> CliDoctor::probe(std::chrono::milliseconds wait) {
    AdapterListing searched;
    searched.readable = true;
    searched.path = facts_.path;
    for (const auto& f : facts_.interfaces) {
        searched.adapters.push_back(f.adapter);
    }
    const AdapterSelection selection = selectAdapters(searched);
    if (selection.outcome != AdapterOutcome::Ok) {
        co_return;
    }
    facts_.probe.ran = true;
    facts_.probe.wireWatched = true;
    for (const AdapterEntry& e : selection.table) {
        auto tap = std::make_unique<PacketTap>();
        if (!tap->open(e.interfaceIndex, kWorkstationPort)) {
            if (tap->lastErrno() != EPERM && tap->lastErrno() != EACCES) {
                ctx_.console.err("doctor: cannot watch " + e.interfaceName + ": " + tap->lastError());
            }
            facts_.probe.wireWatched = false;
            taps_.clear();
            break;
        }
        taps_.push_back(std::move(tap));
    }
    // Keyed as the watch keys: two devices on one address, or one device on two adapters, are all
    // received, so neither looks like an answer this host dropped.
    const SearchSummary probed =
        co_await searchOnce(ctx_, selection.table, wait, {}, DiscoverySearch::Keying::MacAndAdapter);
    const AdapterTable& table = selection.table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const AdapterEntry& e = table[i];
        doctor::ProbeAdapter a;
        a.interfaceName = e.interfaceName;
        a.ip = e.ip.value_or(Ipv4{});
        a.mask = e.mask.value_or(Ipv4{});
        const auto& failures = probed.started.unbindable;
        a.sent =
            std::none_of(failures.begin(), failures.end(), [&](const auto& f) { return f.adapter == e; });
        for (const DeviceRow& row : probed.rows) {
            if (row.adapterIp == a.ip) {
                addOnce(a.received, {row.mac, row.ip});
            }
        }
        if (i < taps_.size()) {
            for (const auto& packet : taps_[i]->drain()) {
                if (const auto seen = doctor::parseWireAnswer(packet, kProbeSequence)) {
                    addOnce(a.onWire, *seen);
                }
            }
            for (const doctor::SeenAnswer& seen : a.onWire) {
                if (!RouteLookup::hasRoute(seen.source)) {
                    a.noRouteBack.push_back(seen.source);
                }
            }
        }
        facts_.probe.adapters.push_back(std::move(a));
    }
    taps_.clear();
}

ExitStatus CliDoctor::report() {
    const doctor::DoctorReport r = doctor::makeReport(std::move(facts_));
    const std::string text = format_ == DoctorFormat::Json ? doctor::formatJson(r) : doctor::formatText(r);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return r.status == 0 ? ExitStatus::Ok : ExitStatus::Negative;
}

} // namespace fw::cli
