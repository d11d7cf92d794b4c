// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/VendorTable.h"
#include "discovery/DeviceInventory.h"

#include <chrono>
#include <string>

namespace fw::cli {

// One watch event as a JSON line ({"time", "event", then "device", "devices", "changes", "ip",
// "adapter" or "mac" as the event has them}) or as a plain line ("TIME [warning ]EVENT ..."), both
// without the newline. `at` is the time written in front, as UTC ISO 8601 with milliseconds.
std::string watchJsonLine(const DeviceInventory::Event& event, const AdapterTable& table,
                          std::chrono::system_clock::time_point at, const VendorTable& vendors = {});
std::string watchPlainLine(const DeviceInventory::Event& event, const AdapterTable& table,
                           std::chrono::system_clock::time_point at);

// The event's name in both ("appeared", "new", "duplicate-ip", ...), for every EventKind.
const char* eventName(DeviceInventory::EventKind kind);

// "2026-03-01T09:30:05.120Z".
std::string utcTimestamp(std::chrono::system_clock::time_point at);
// "09:30:05" in local time, for the live view's header.
std::string localClock(std::chrono::system_clock::time_point at);

} // namespace fw::cli
