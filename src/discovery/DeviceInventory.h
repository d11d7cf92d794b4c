// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "discovery/DeviceRow.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace fw {

// The devices a run of searches knows, by MAC, and what changed from one search to the next:
// appearances, changed fields, devices gone after a number of unanswered searches, and warnings
// about conditions an operator must fix. Each warning is given once while its condition lasts and
// again only after it cleared and came back. A local adapter is known by its interface name: when
// its address changes, that is one event and its devices stay as they were.
class DeviceInventory {
public:
    enum class Field : std::uint8_t { Name, Ip, EssId, Channel, Wep, Kind, Adapter };

    enum class EventKind : std::uint8_t {
        Appeared,
        Changed,
        Gone,
        DuplicateIp,      // two devices answer from one address on one adapter's segment
        ForeignSubnet,    // the address lies in no subnet of the adapter it answered on
        MacOnTwoAdapters, // one MAC answers on two adapters: bridged segments or a loop
        AdapterChanged,   // a local adapter's address changed; its devices are still behind it
        // With an inventory (KnownDevices), an appearance that is one of these instead:
        New,  // never seen before
        Back, // counted gone, answering again
    };

    struct AdapterMove {
        std::string adapter; // the interface name
        Ipv4 from;
        Ipv4 to;
        bool operator==(const AdapterMove&) const = default;
    };

    struct Event {
        EventKind kind = EventKind::Appeared;
        // The device (after the change for Changed); for DuplicateIp each device on the address; for
        // MacOnTwoAdapters the device's row from each adapter.
        std::vector<DeviceRow> devices;
        std::optional<DeviceRow> before;  // Changed only
        std::vector<Field> fields;        // Changed only, in Field order
        std::optional<AdapterMove> moved; // AdapterChanged only (and no devices)
        bool operator==(const Event&) const = default;
    };

    // missedLimit: searches in a row without an answer after which a device is gone (at least 1).
    explicit DeviceInventory(int missedLimit) : missedLimit_(missedLimit < 1 ? 1 : missedLimit) {}

    // One finished search: every row it listed (one per MAC and adapter), the adapters it ran on,
    // and the adapter addresses whose socket could not search; a device last seen behind one of
    // those has not missed an answer.
    std::vector<Event> update(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                              std::span<const Ipv4> unsearched = {});

    // The devices known now, in MAC order.
    std::vector<DeviceRow> devices() const;

private:
    struct Entry {
        DeviceRow row;
        int missed = 0;
    };

    std::vector<Event> followAdapters(const AdapterTable& adapters);
    std::vector<Event> warnings(const AdapterTable& adapters, const std::set<MacAddress>& answered);

    int missedLimit_;
    std::map<MacAddress, Entry> entries_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> duplicateIps_; // (adapter, address), host order
    std::set<MacAddress> foreign_;
    std::set<MacAddress> onTwoAdapters_;
    std::map<std::string, Ipv4> adapterAddress_; // interface name -> the address its devices are known by
};

// True when ip lies in the subnet of any address of the adapter (interface) that owns adapterIp.
bool inAdapterSubnet(const AdapterTable& adapters, Ipv4 adapterIp, Ipv4 ip);

} // namespace fw
