// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/StringTable.h"
#include "discovery/DeviceRow.h"

#include <array>
#include <string>

namespace fw {

// The device list's seven columns: name, IP, ESS-ID, channel, WEP, MAC and the kind letter. The
// seventh is hidden and untitled; the others take strings 101-106.
inline constexpr int kDeviceColumns = 7;
inline constexpr int kDeviceKindColumn = 6;
inline constexpr std::array<Str, kDeviceKindColumn> kDeviceColumnTitles{
    Str::ColDevice, Str::ColIp, Str::ColEssId, Str::ColChannel, Str::ColWep, Str::ColMac};

// One cell's text, in UTF-8 (names and ESS-IDs are 8-bit texts from the device, one byte a character).
std::string deviceCellText(const DeviceRow& row, int column);

} // namespace fw
