// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/DeviceKind.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "common/PickedDevice.h"

#include <optional>

namespace fw {

// The values that windows hand to each other for the whole run. One copy, owned by the main window
// and passed by reference; nothing here is global.
struct ProcessValues {
    AdapterTable adapterTable;                          // rebuilt at every search; AdapterCount is its size
    std::optional<Ipv4> selectedDeviceIp;               // none before any reply or pick
    DeviceKind selectedDeviceKind = DeviceKind::Bridge; // for the image check
    MacAddress selectedDeviceMac{};                     // the target of Set IP
    std::optional<Ipv4> localAdapterIp;                 // our address on the adapter the device answered on
    int setIpAdapterIndex = 0;                          // chosen when the Set IP dialog loads, 0 at start
    AdapterTable hostAdapters{}; // rebuilt with adapterTable: every adapter, searched on or not
    PickedDevice pickedDevice{}; // the row the Set IP or upgrade dialog is opened for, as it names it
};

} // namespace fw
