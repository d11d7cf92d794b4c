// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InventoryWatch.h"

#include "cli/WatchReport.h"

#include <algorithm>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;
using EventKind = DeviceInventory::EventKind;

KnownDevices::Time nowSeconds() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

} // namespace

void InventoryWatch::apply(std::vector<Event>& events, const std::vector<DeviceRow>& rows,
                           const AdapterTable& table, Console& console) {
    KnownDevices& known = file_.devices();
    const auto arrivals = known.seen(rows, table, nowSeconds());
    bool changed = !arrivals.empty();
    for (Event& e : events) {
        if (e.kind == EventKind::Appeared) {
            const auto it =
                std::lower_bound(arrivals.begin(), arrivals.end(), e.devices.front().mac,
                                 [](const auto& a, const MacAddress& mac) { return a.first < mac; });
            if (it != arrivals.end() && it->first == e.devices.front().mac) {
                e.kind = it->second == KnownDevices::Arrival::New    ? EventKind::New
                         : it->second == KnownDevices::Arrival::Back ? EventKind::Back
                                                                     : EventKind::Appeared;
            }
        } else if (e.kind == EventKind::Gone) {
            changed = known.markGone(e.devices.front().mac) || changed;
        }
    }
    // Those the file holds that have not answered in this run are gone once any other would be.
    if (++searches_ == missed_) {
        for (const DeviceRow& row : known.goneSilentSince(start_)) {
            events.push_back({EventKind::Gone, {row}, std::nullopt, {}, std::nullopt});
            changed = true;
        }
    }
    if (!changed) {
        return;
    }
    const auto saved = file_.save();
    const std::string problem = saved ? std::string() : saved.error();
    if (problem != lastProblem_) {
        console.err(saved ? "the inventory is saved again" : problem);
        lastProblem_ = problem;
    }
}

bool recordSearch(InventoryFile& file, const std::vector<DeviceRow>& rows, const AdapterTable& table,
                  Console& console) {
    if (rows.empty()) {
        return true;
    }
    file.devices().seen(rows, table, nowSeconds());
    const auto saved = file.save();
    if (!saved) {
        console.err(saved.error());
    }
    return static_cast<bool>(saved);
}

EventHook::Call hookCall(const Event& event, const AdapterTable& table,
                         std::chrono::system_clock::time_point at, const VendorTable& vendors) {
    EventHook::Call call{eventName(event.kind), watchJsonLine(event, table, at, vendors), {}, {}};
    if (event.moved) {
        call.ip = event.moved->to.toString();
    } else if (!event.devices.empty()) {
        call.mac = formatMac(event.devices.front().mac);
        call.ip = event.devices.front().ip.toString();
    }
    return call;
}

} // namespace fw::cli
