// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Result.h"
#include "discovery/DeviceRow.h"
#include "doctor/DoctorFacts.h"
#include "platform/Host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fw::doctor {

// Why there is nothing to look at.
struct GatherError {
    enum class Kind { ListingUnreadable, NoSuchInterface };
    Kind kind = Kind::ListingUnreadable;
    std::string interfaceName; // NoSuchInterface: the name asked for
};

// A packet socket could not watch an adapter: the probe goes on without the wire.
struct WatchError {
    std::string interfaceName;
    std::error_code code; // EPERM or EACCES: no CAP_NET_RAW, which is expected
    bool notPermitted() const {
        return code == std::errc::operation_not_permitted || code == std::errc::permission_denied;
    }
    // The system has no packet capture of its own (Windows): the probe goes on without the wire.
    bool unsupported() const { return code == std::errc::not_supported; }
};

// What the probe's search brought back. Whoever runs the search fills it: this is the seam between
// the doctor and the search plumbing.
struct ProbeSearchResult {
    std::int16_t sequence = 0;         // the search's number, which its answers carry
    std::vector<DeviceRow> rows;       // every listed row (keyed by MAC and adapter)
    std::vector<AdapterEntry> unbound; // adapters whose port could not be bound: nothing was sent there
};

// Reads the doctor's facts from the host: the interfaces' kernel settings, who holds port 4001,
// the firewall's input chains, and around the probe's search what arrived on the wire. The order:
// readHost(); when probeAdapters() is not empty, watchWire(), the search, recordProbe(); takeFacts().
class DoctorFactGatherer {
public:
    explicit DoctorFactGatherer(Host& host);
    ~DoctorFactGatherer();
    DoctorFactGatherer(const DoctorFactGatherer&) = delete;
    DoctorFactGatherer& operator=(const DoctorFactGatherer&) = delete;

    // The facts of the interfaces named (every one when none is), from the listing.
    Status<GatherError> readHost(const AdapterListing& listing, const std::vector<std::string>& named);
    // The adapters the probe searches, in the search's order; empty when none can be: no probe runs.
    const AdapterTable& probeAdapters() const { return probeTable_; }
    // Packet sockets on every probed adapter, to see the answers that arrive before the host's
    // filters can drop them. On a failure none watches.
    Status<WatchError> watchWire();
    // The probe's outcome per adapter: what the search got, what the wire saw, and which senders
    // this host has no route back to. Closes the packet sockets.
    void recordProbe(const ProbeSearchResult& search);
    DoctorFacts takeFacts() { return std::move(facts_); }

private:
    InterfaceFacts readInterface(const AdapterFacts& adapter, const std::vector<AdapterFacts>& all);

    Host& host_;
    DoctorFacts facts_;
    AdapterTable probeTable_;
    std::vector<std::unique_ptr<WireTap>> taps_; // one per probed adapter, when watched
};

} // namespace fw::doctor
