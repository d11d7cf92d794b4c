// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RowCopy.h"

#include "discovery/DeviceCells.h"

#include <algorithm>

namespace fw {
namespace {

constexpr int kIpColumn = 1;
constexpr int kMacColumn = 5;

// A tab or line break inside a device's name or ESS-ID would split its cell or its row when pasted:
// each becomes a space.
std::string oneCell(std::string text) {
    std::ranges::replace_if(
        text, [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

} // namespace

std::string copiedText(const DeviceRow& row, CopyWhat what, std::optional<std::string_view> vendor) {
    switch (what) {
    case CopyWhat::Mac:
        return deviceCellText(row, kMacColumn);
    case CopyWhat::Ip:
        return deviceCellText(row, kIpColumn);
    case CopyWhat::Row:
        break;
    }
    std::string titles;
    std::string cells;
    for (int c = 0; c < kDeviceKindColumn; ++c) { // the hidden kind column stays out
        const char* tab = c == 0 ? "" : "\t";
        titles += tab + std::string(loadResString(kDeviceColumnTitles[static_cast<std::size_t>(c)]));
        cells += tab + oneCell(deviceCellText(row, c));
    }
    if (vendor) {
        titles += '\t' + std::string(loadResString(Str::ColVendor));
        cells += '\t' + oneCell(std::string(*vendor));
    }
    return titles + '\n' + cells + '\n';
}

} // namespace fw
