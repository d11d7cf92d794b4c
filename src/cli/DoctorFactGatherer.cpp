// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DoctorFactGatherer.h"

#include "common/RecordHeader.h"
#include "discovery/DiscoveryRecords.h"
#include "doctor/DoctorRules.h"
#include "netif/AdapterRules.h"

#include <algorithm>

namespace fw::doctor {
namespace {

void addOnce(std::vector<SeenAnswer>& list, const SeenAnswer& seen) {
    if (std::none_of(list.begin(), list.end(), [&](const SeenAnswer& a) { return a.mac == seen.mac; })) {
        list.push_back(seen);
    }
}

} // namespace

DoctorFactGatherer::DoctorFactGatherer(Host& host) : host_(host) {}
DoctorFactGatherer::~DoctorFactGatherer() = default;

InterfaceFacts DoctorFactGatherer::readInterface(const AdapterFacts& adapter,
                                                 const std::vector<AdapterFacts>& all) {
    InterfaceFacts f;
    f.adapter = adapter;
    f.rpFilter = host_.reversePathFilter(adapter.interfaceName);
    const auto master = std::find_if(all.begin(), all.end(), [&](const AdapterFacts& m) {
        return adapter.masterIndex != 0 && m.interfaceIndex == adapter.masterIndex;
    });
    if (master != all.end()) {
        f.master = *master;
    }
    f.arpFluxGuarded = host_.arpFluxGuarded(adapter.interfaceName);
    return f;
}

Status<GatherError> DoctorFactGatherer::readHost(const AdapterListing& listing,
                                                 const std::vector<std::string>& named) {
    if (!listing.readable) {
        return Failure{GatherError{GatherError::Kind::ListingUnreadable, {}}};
    }
    for (const std::string& name : named) {
        if (std::none_of(listing.adapters.begin(), listing.adapters.end(),
                         [&](const AdapterFacts& a) { return a.interfaceName == name; })) {
            return Failure{GatherError{GatherError::Kind::NoSuchInterface, name}};
        }
    }
    facts_ = {};
    facts_.path = listing.path;
    facts_.restricted = !named.empty();
    AdapterListing searched{true, listing.path, {}};
    for (const AdapterFacts& a : listing.adapters) {
        if (named.empty() || std::find(named.begin(), named.end(), a.interfaceName) != named.end()) {
            facts_.interfaces.push_back(readInterface(a, listing.adapters));
            searched.adapters.push_back(a);
        }
    }
    const auto states = classifyInterfaces(facts_.interfaces, facts_.path);
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (isSearched(states[i])) {
            auto& f = facts_.interfaces[i];
            f.port = host_.checkPort(f.adapter, kWorkstationPort);
        }
    }
    facts_.firewall = host_.firewall();
    facts_.system = host_.hostSystem();
    const AdapterSelection selection = selectAdapters(searched);
    probeTable_ = selection.outcome == AdapterOutcome::Ok ? selection.table : AdapterTable{};
    return Done{};
}

Status<WatchError> DoctorFactGatherer::watchWire() {
    taps_.clear();
    for (const AdapterEntry& e : probeTable_) {
        auto tap = host_.openWireTap(e.interfaceIndex, kWorkstationPort);
        if (!tap) {
            taps_.clear();
            return Failure{WatchError{e.interfaceName, tap.error()}};
        }
        taps_.push_back(std::move(*tap));
    }
    return Done{};
}

void DoctorFactGatherer::recordProbe(const ProbeSearchResult& search) {
    facts_.probe.ran = true;
    facts_.probe.wireWatched = !taps_.empty();
    for (std::size_t i = 0; i < probeTable_.size(); ++i) {
        const AdapterEntry& e = probeTable_[i];
        ProbeAdapter a;
        a.interfaceName = e.interfaceName;
        a.ip = e.ip.value_or(Ipv4{});
        a.mask = e.mask.value_or(Ipv4{});
        a.sent = std::find(search.unbound.begin(), search.unbound.end(), e) == search.unbound.end();
        for (const DeviceRow& row : search.rows) {
            if (row.adapterIp == a.ip) {
                addOnce(a.received, {row.mac, row.ip});
            }
        }
        if (i < taps_.size()) {
            for (const auto& packet : taps_[i]->drain()) {
                if (const auto captured = acceptCapturedReply(packet, search.sequence)) {
                    addOnce(a.onWire, {captured->reply.deviceMac, captured->source});
                }
            }
            for (const SeenAnswer& seen : a.onWire) {
                if (!host_.hasRoute(seen.source)) {
                    a.noRouteBack.push_back(seen.source);
                }
            }
        }
        facts_.probe.adapters.push_back(std::move(a));
    }
    taps_.clear();
}

} // namespace fw::doctor
