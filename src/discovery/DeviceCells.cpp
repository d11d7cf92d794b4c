// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DeviceCells.h"

#include "common/DeviceText.h"

namespace fw {

std::string deviceCellText(const DeviceRow& row, int column) {
    switch (column) {
    case 0:
        return deviceTextToUtf8(row.name);
    case 1:
        return row.ip.toString();
    case 2:
        return deviceTextToUtf8(row.essId);
    case 3:
        return std::to_string(row.channel);
    case 4:
        return row.wep ? "Enabled" : "Disabled";
    case 5:
        return formatMac(row.mac);
    default:
        return row.kind == DeviceKind::AccessPoint ? "A" : "G";
    }
}

} // namespace fw
