// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "discovery/DeviceRow.h"
#include "netif/AdapterFacts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fw {

// The window's searches as the engine runs them: one socket per adapter on port 4001, kept open
// between searches. Searches are numbered by the caller; the answers come back on the GUI thread.
class SearchPort {
public:
    struct HeldPort { // an adapter left unsearched: its port 4001 could not be bound
        std::string interfaceName;
        std::optional<Ipv4> ip;
        std::string reason{}; // empty: another program holds the port; else the system's reason
    };
    using TaggedRows = std::vector<std::pair<std::uint64_t, DeviceRow>>; // with the search each answers

    class Listener {
    public:
        // The engine sent search `search`'s requests under `sequence`; `held` were skipped.
        virtual void searchSent(std::uint64_t search, std::int16_t sequence, std::vector<HeldPort> held) = 0;
        // Rows the engine listed since the last call, in order.
        virtual void rowsListed(TaggedRows rows) = 0;

    protected:
        ~Listener() = default;
    };

    virtual void listen(Listener& listener) = 0;
    virtual AdapterListing readAdapters() = 0;
    // Rows listed from now on answer `search`; those of earlier searches are dropped by the engine.
    virtual void start(std::uint64_t search, AdapterTable table) = 0;
    // Before Set IP and the upgrade, which need port 4001 or the adapter themselves.
    virtual void close() = 0;

protected:
    ~SearchPort() = default;
};

} // namespace fw
