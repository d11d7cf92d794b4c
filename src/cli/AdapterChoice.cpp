// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AdapterChoice.h"

#include "discovery/DeviceListFormat.h"
#include "netif/AdapterRules.h"

#include <algorithm>

namespace fw::cli {
namespace {

std::vector<std::string> namesOf(const AdapterTable& table) {
    std::vector<std::string> names;
    for (const AdapterEntry& e : table) {
        names.push_back(e.interfaceName);
    }
    return names;
}

std::string listText(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "" : ", ") + n;
    }
    return out.empty() ? "none" : out;
}

} // namespace

Result<AdapterSelection, AdapterChoiceProblem>
chooseAdapters(const AdapterListing& listing, const std::vector<std::string>& names, bool withTunnels) {
    if (names.empty() || !listing.readable) {
        return selectAdapters(listing, withTunnels);
    }
    const AdapterSelection all = selectAdapters(listing);
    AdapterListing named = listing;
    named.adapters.clear();
    for (const std::string& name : names) {
        const auto it = std::find_if(listing.adapters.begin(), listing.adapters.end(),
                                     [&](const AdapterFacts& f) { return f.interfaceName == name; });
        if (it == listing.adapters.end()) {
            return Failure{AdapterChoiceProblem{AdapterChoiceError::Unknown, name, namesOf(all.table)}};
        }
        if (!isUsableAdapter(*it, listing.path) && !(withTunnels && isTunnel(*it, listing.path))) {
            return Failure{AdapterChoiceProblem{AdapterChoiceError::Unusable, name, {}}};
        }
        const bool seen = std::any_of(named.adapters.begin(), named.adapters.end(),
                                      [&](const AdapterFacts& f) { return f.interfaceName == name; });
        if (!seen) {
            named.adapters.push_back(*it);
        }
    }
    return selectAdapters(named, withTunnels);
}

std::string adapterChoiceText(const AdapterChoiceProblem& problem) {
    switch (problem.error) {
    case AdapterChoiceError::Unknown:
        return "no adapter named '" + problem.name + "' (usable: " + listText(problem.usable) + ")";
    case AdapterChoiceError::Unusable:
        return "adapter '" + problem.name +
               "' cannot be used: it is down, a loopback or point-to-point link " +
               "(a tunnel serves only --target), or has no IPv4 address";
    }
    return {};
}

const AdapterEntry* adapterAt(const AdapterTable& table, Ipv4 ip) {
    const auto it =
        std::find_if(table.begin(), table.end(), [&](const AdapterEntry& e) { return e.ip == ip; });
    return it == table.end() ? nullptr : &*it;
}

std::string adapterName(const AdapterTable& table, Ipv4 ip) {
    return deviceAdapterName(table, ip);
}

} // namespace fw::cli
