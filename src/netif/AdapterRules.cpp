// SPDX-License-Identifier: GPL-3.0-or-later
#include "netif/AdapterRules.h"

namespace fw {
namespace {

bool isDialUp(std::string_view description, ListingPath path) {
    if (path == ListingPath::Main) {
        return description.substr(0, kDialUpDescription.size()) == kDialUpDescription;
    }
    return description == kDialUpDescription || description == kLoopbackDescription;
}

AdapterEntry entryFrom(const AdapterFacts& facts, ListingPath path) {
    AdapterEntry e;
    e.ip = facts.ip;
    e.mask = facts.mask;
    // The interface table knows no gateways. An interface without an address row keeps empty
    // boxes rather than whatever an earlier adapter left behind.
    if (path == ListingPath::Fallback) {
        e.gateway = facts.ip ? std::optional{Ipv4::any()} : std::nullopt;
    } else {
        e.gateway = facts.gateway.value_or(Ipv4::any());
    }
    e.mac = facts.mac;
    e.moreAddresses = facts.moreAddresses;
    e.interfaceName = facts.interfaceName;
    e.interfaceIndex = facts.interfaceIndex;
    return e;
}

} // namespace

std::optional<AdapterSkip> adapterSkip(const AdapterFacts& facts, ListingPath path) {
    if (isDialUp(facts.description, path)) {
        return AdapterSkip::DialUp;
    }
    if (facts.link) {
        // The Linux form of the dial-up rule: only links that are up, carry an IPv4 address and
        // reach a broadcast segment.
        const LinkFlags& l = *facts.link;
        if (!l.up) {
            return AdapterSkip::Down;
        }
        if (l.loopback) {
            return AdapterSkip::Loopback;
        }
        if (l.pointToPoint) {
            return AdapterSkip::PointToPoint;
        }
        if (!facts.ip) {
            return AdapterSkip::NoIpv4;
        }
    }
    return std::nullopt;
}

bool isUsableAdapter(const AdapterFacts& facts, ListingPath path) {
    return !adapterSkip(facts, path).has_value();
}

bool isTunnel(const AdapterFacts& facts, ListingPath path) {
    return adapterSkip(facts, path) == AdapterSkip::PointToPoint && facts.ip.has_value();
}

AdapterTable hostAdapters(const AdapterListing& listing) {
    AdapterTable all;
    for (const AdapterFacts& facts : listing.adapters) {
        all.push_back(entryFrom(facts, listing.path));
    }
    return all;
}

AdapterSelection selectAdapters(const AdapterListing& listing, bool withTunnels) {
    AdapterSelection result;
    result.hostAdapters = hostAdapters(listing);
    if (!listing.readable) {
        result.outcome =
            listing.path == ListingPath::Main ? AdapterOutcome::StatusError : AdapterOutcome::NoAdapter;
        return result;
    }
    for (const AdapterFacts& facts : listing.adapters) {
        const bool tunnel = withTunnels && isTunnel(facts, listing.path);
        if (!tunnel && !isUsableAdapter(facts, listing.path)) {
            continue;
        }
        result.table.push_back(entryFrom(facts, listing.path));
        result.table.back().tunnel = tunnel;
    }
    result.outcome = result.table.empty() ? AdapterOutcome::NoAdapter : AdapterOutcome::Ok;
    return result;
}

} // namespace fw
