// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Console.h"
#include "cli/EventHook.h"
#include "cli/InventoryFile.h"
#include "common/VendorTable.h"
#include "discovery/DeviceInventory.h"

#include <chrono>
#include <string>
#include <vector>

namespace fw::cli {

// watch --inventory: each search's events from the DeviceInventory, told apart and saved. An
// appearance becomes new (a MAC the file never held) or back (one a watch counted gone); a gone
// device is marked gone; a device the file holds that has not answered by the N-th search of this
// run (N: --missed) is gone too. The file is saved after each search that changed it; a failure is
// said once, and again only when it changes, and the watch goes on.
class InventoryWatch {
public:
    InventoryWatch(InventoryFile file, int missed)
        : file_(std::move(file)), missed_(missed),
          start_(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())) {}

    void apply(std::vector<DeviceInventory::Event>& events, const std::vector<DeviceRow>& rows,
               const AdapterTable& table, Console& console);

private:
    InventoryFile file_;
    int missed_;
    KnownDevices::Time start_;
    int searches_ = 0;
    std::string lastProblem_;
};

// search --inventory: the devices one search found merged into the file; false (said) when it
// could not be saved.
bool recordSearch(InventoryFile& file, const std::vector<DeviceRow>& rows, const AdapterTable& table,
                  Console& console);

// What a hook is given for an event: its name, its JSON line, and the device's MAC and address
// (for adapter-changed: no MAC, the new address).
EventHook::Call hookCall(const DeviceInventory::Event& event, const AdapterTable& table,
                         std::chrono::system_clock::time_point at, const VendorTable& vendors = {});

} // namespace fw::cli
