// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DeviceInventory.h"

#include <algorithm>

namespace fw {
namespace {

std::vector<DeviceInventory::Field> differences(const DeviceRow& a, const DeviceRow& b) {
    using F = DeviceInventory::Field;
    std::vector<F> out;
    const std::pair<F, bool> checks[] = {
        {F::Name, a.name != b.name},
        {F::Ip, a.ip != b.ip},
        {F::EssId, a.essId != b.essId},
        {F::Channel, a.channel != b.channel},
        {F::Wep, a.wep != b.wep},
        {F::Kind, a.kind != b.kind},
        {F::Adapter, a.adapterIp != b.adapterIp},
    };
    for (const auto& [field, differs] : checks) {
        if (differs) {
            out.push_back(field);
        }
    }
    return out;
}

// Remembers the conditions that hold now; returns those that did not hold before.
template <typename Key> std::vector<Key> newlyTrue(std::set<Key>& remembered, const std::set<Key>& now) {
    std::vector<Key> fresh;
    std::set_difference(now.begin(), now.end(), remembered.begin(), remembered.end(),
                        std::back_inserter(fresh));
    remembered = now;
    return fresh;
}

} // namespace

bool inAdapterSubnet(const AdapterTable& adapters, Ipv4 adapterIp, Ipv4 ip) {
    const auto owner = std::find_if(adapters.begin(), adapters.end(),
                                    [&](const AdapterEntry& e) { return e.ip == adapterIp; });
    if (owner == adapters.end()) {
        return true; // an adapter we cannot judge: no warning
    }
    // Any subnet of the adapter's, by its first address or a further one.
    return std::any_of(adapters.begin(), adapters.end(), [&](const AdapterEntry& e) {
        const auto all = addressesOf(e);
        return e.interfaceName == owner->interfaceName &&
               std::any_of(all.begin(), all.end(),
                           [&](const AdapterAddress& a) { return inSubnet(ip, a.ip, a.mask); });
    });
}

std::vector<DeviceInventory::Event> DeviceInventory::update(const std::vector<DeviceRow>& rows,
                                                            const AdapterTable& adapters,
                                                            std::span<const Ipv4> unsearched) {
    std::vector<Event> events = followAdapters(adapters);
    std::map<MacAddress, std::vector<const DeviceRow*>> seen;
    std::set<MacAddress> answered;
    for (const DeviceRow& row : rows) {
        seen[row.mac].push_back(&row);
        answered.insert(row.mac);
    }
    std::set<MacAddress> onTwo;
    for (const auto& [mac, sightings] : seen) {
        auto it = entries_.find(mac);
        // Seen on several adapters: stay with the one it was known on, so it does not flap.
        const DeviceRow* row = sightings.front();
        if (it != entries_.end()) {
            const auto same = std::find_if(sightings.begin(), sightings.end(), [&](const DeviceRow* r) {
                return r->adapterIp == it->second.row.adapterIp;
            });
            row = same == sightings.end() ? row : *same;
        }
        const bool several = std::any_of(sightings.begin(), sightings.end(),
                                         [&](const DeviceRow* r) { return r->adapterIp != row->adapterIp; });
        if (several) {
            onTwo.insert(mac);
        }
        if (it == entries_.end()) {
            entries_.emplace(mac, Entry{*row, 0});
            events.push_back({EventKind::Appeared, {*row}, std::nullopt, {}, std::nullopt});
            continue;
        }
        it->second.missed = 0;
        if (auto fields = differences(it->second.row, *row); !fields.empty()) {
            events.push_back({EventKind::Changed, {*row}, it->second.row, std::move(fields), std::nullopt});
            it->second.row = *row;
        }
    }
    for (auto it = entries_.begin(); it != entries_.end();) {
        const bool behindUnsearched =
            std::find(unsearched.begin(), unsearched.end(), it->second.row.adapterIp) != unsearched.end();
        if (seen.count(it->first) == 0 && !behindUnsearched && ++it->second.missed >= missedLimit_) {
            events.push_back({EventKind::Gone, {it->second.row}, std::nullopt, {}, std::nullopt});
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    // A device not seen this time keeps its two-adapter condition until it answers again or is gone.
    for (const MacAddress& mac : onTwoAdapters_) {
        if (seen.count(mac) == 0 && entries_.count(mac) != 0) {
            onTwo.insert(mac);
        }
    }
    for (const MacAddress& mac : newlyTrue(onTwoAdapters_, onTwo)) {
        Event e{EventKind::MacOnTwoAdapters, {}, std::nullopt, {}, std::nullopt};
        for (const DeviceRow* r : seen[mac]) {
            e.devices.push_back(*r);
        }
        events.push_back(std::move(e));
    }
    auto more = warnings(adapters, answered);
    events.insert(events.end(), more.begin(), more.end());
    return events;
}

std::vector<DeviceInventory::Event> DeviceInventory::followAdapters(const AdapterTable& adapters) {
    std::vector<Event> events;
    for (const AdapterEntry& now : adapters) {
        if (!now.ip || now.interfaceName.empty()) {
            continue;
        }
        // Known by the first address it was seen with; an interface with several keeps that one.
        auto [known, fresh] = adapterAddress_.try_emplace(now.interfaceName, *now.ip);
        const Ipv4 from = known->second;
        const bool stillHeld = std::any_of(adapters.begin(), adapters.end(), [&](const AdapterEntry& e) {
            return e.interfaceName == now.interfaceName && e.ip == from;
        });
        if (fresh || stillHeld) {
            continue;
        }
        known->second = *now.ip;
        events.push_back(
            {EventKind::AdapterChanged, {}, std::nullopt, {}, AdapterMove{now.interfaceName, from, *now.ip}});
        for (auto& [mac, entry] : entries_) {
            if (entry.row.adapterIp == from) {
                entry.row.adapterIp = *now.ip;
            }
        }
        std::set<std::pair<std::uint32_t, std::uint32_t>> moved;
        for (const auto& [adapter, address] : duplicateIps_) {
            moved.emplace(adapter == from.toHostOrder() ? now.ip->toHostOrder() : adapter, address);
        }
        duplicateIps_ = std::move(moved);
    }
    return events;
}

std::vector<DeviceInventory::Event> DeviceInventory::warnings(const AdapterTable& adapters,
                                                              const std::set<MacAddress>& answered) {
    using Key = std::pair<std::uint32_t, std::uint32_t>; // (adapter, address): Ipv4's <=> trips clang-tidy
    std::map<Key, std::vector<DeviceRow>> byAddress;
    std::map<Key, std::size_t> known;
    std::set<MacAddress> foreign;
    for (const auto& [mac, entry] : entries_) {
        const Key key{entry.row.adapterIp.toHostOrder(), entry.row.ip.toHostOrder()};
        ++known[key];
        // A silent device on the address is no conflict: it may have been replaced by the one that
        // answers now.
        if (answered.count(mac) != 0) {
            byAddress[key].push_back(entry.row);
        }
        if (!inAdapterSubnet(adapters, entry.row.adapterIp, entry.row.ip)) {
            foreign.insert(mac);
        }
    }
    std::set<Key> shared;
    for (const auto& [key, devices] : byAddress) {
        if (devices.size() > 1) {
            shared.insert(key);
        }
    }
    // A conflict already said lasts while its devices are known, though one missed this search.
    for (const Key& key : duplicateIps_) {
        if (known[key] > 1) {
            shared.insert(key);
        }
    }
    std::vector<Event> events;
    for (const auto& key : newlyTrue(duplicateIps_, shared)) {
        events.push_back({EventKind::DuplicateIp, byAddress[key], std::nullopt, {}, std::nullopt});
    }
    for (const MacAddress& mac : newlyTrue(foreign_, foreign)) {
        events.push_back({EventKind::ForeignSubnet, {entries_.at(mac).row}, std::nullopt, {}, std::nullopt});
    }
    return events;
}

std::vector<DeviceRow> DeviceInventory::devices() const {
    std::vector<DeviceRow> out;
    out.reserve(entries_.size());
    for (const auto& [mac, entry] : entries_) {
        out.push_back(entry.row);
    }
    return out;
}

} // namespace fw
