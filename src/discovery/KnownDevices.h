// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/MacAddress.h"
#include "discovery/DeviceRow.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw {

// Every device ever seen, by MAC, as an inventory keeps it from one run to the next: when it was
// first and last seen, its last reply and the adapter it came in on, whether a watch counted it
// gone, and the operator's name and note. Searches are merged in; an appearance is told apart as
// new (never seen before) or back (gone, and answering again). No I/O: InventoryFile reads and
// writes it.
class KnownDevices {
public:
    using Time = std::chrono::sys_seconds;

    struct Device {
        Time firstSeen{};
        Time lastSeen{};
        DeviceRow row;       // the last reply, with the address of the adapter it came in on
        std::string adapter; // that adapter's interface name then
        bool gone = false;   // a watch counted it gone and it has not answered since
        std::string name;    // the operator's
        std::string note;
        bool operator==(const Device&) const = default;
    };

    enum class Arrival : std::uint8_t {
        New,   // never seen before
        Back,  // counted gone, answering again
        Known, // seen before and not gone: nothing to tell
    };

    // One search's rows (one per MAC and adapter: a MAC's first row counts) with the adapters it
    // ran on. Returns each answering MAC's arrival, in MAC order.
    std::vector<std::pair<MacAddress, Arrival>> seen(const std::vector<DeviceRow>& rows,
                                                     const AdapterTable& adapters, Time now);
    // A watch counted the device gone. False when it is unknown or gone already.
    bool markGone(const MacAddress& mac);
    // Devices not gone that have not answered since `since` (a watch's start): each is marked gone.
    std::vector<DeviceRow> goneSilentSince(Time since);

    // The operator's edits; false for a MAC the inventory does not hold.
    bool setName(const MacAddress& mac, std::string text);
    bool setNote(const MacAddress& mac, std::string text);
    bool forget(const MacAddress& mac);

    // As read from a file; a later device of the same MAC replaces the earlier.
    void put(const MacAddress& mac, Device device) { devices_.insert_or_assign(mac, std::move(device)); }
    const std::map<MacAddress, Device>& devices() const { return devices_; }

private:
    std::map<MacAddress, Device> devices_;
};

// A MAC as an operator writes it: six groups joined by ':' or '-', three of four digits joined by
// '.' (aabb.ccdd.eeff), or twelve bare digits; either case. Anything else gives no value.
std::optional<MacAddress> macInAnyForm(std::string_view text);

// "2026-03-01T09:30:05Z", and back (also with a fraction of a second, which is dropped).
std::string utcText(KnownDevices::Time at);
std::optional<KnownDevices::Time> parseUtc(std::string_view text);

} // namespace fw
