// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/AdapterFacts.h"
#include "netif/AdapterSelection.h"

#include <optional>
#include <string_view>

namespace fw {

// Dial-up adapters are named like this; on the main path a description that merely starts with it
// is dial-up too.
inline constexpr std::string_view kDialUpDescription = "PPP Adapter.";
inline constexpr std::string_view kLoopbackDescription = "MS TCP Loopback interface";

// Why an adapter is not searched on. A link without carrier is still searched: nothing is skipped
// for a state that may change while the search runs.
enum class AdapterSkip { DialUp, Down, Loopback, PointToPoint, NoIpv4 };

// The reason the adapter is passed over, or none when it is searched on.
std::optional<AdapterSkip> adapterSkip(const AdapterFacts& facts, ListingPath path);

// Whether the adapter is searched on, by the rules of the path it was listed on.
bool isUsableAdapter(const AdapterFacts& facts, ListingPath path);

// A point-to-point link with an IPv4 address, which a routed search may send through (marked
// `tunnel` in the table) though a broadcast search passes it over.
bool isTunnel(const AdapterFacts& facts, ListingPath path);

// Every adapter of the listing as an entry, whatever the rules say, in listing order.
AdapterTable hostAdapters(const AdapterListing& listing);

// The table of adapters to search on: every usable one in listing order; withTunnels, the
// tunnels too. An unreadable main listing gives StatusError; no usable adapter
// (or an unreadable fallback listing) gives NoAdapter. The caller decides what to do with the two
// fatal outcomes. hostAdapters lists every adapter, searched on or not.
AdapterSelection selectAdapters(const AdapterListing& listing, bool withTunnels = false);

} // namespace fw
