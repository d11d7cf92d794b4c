// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRow.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// What the list's Copy commands take from the picked row.
enum class CopyWhat : std::uint8_t { Row, Mac, Ip };

// The text a Copy command puts on the clipboard, in UTF-8 with "\n" line ends. A row is its visible
// cells as the list shows them, tab-separated under a line of their column titles, so that a
// spreadsheet pastes it as a header and one row; the MAC and IP are their cells' text alone. With
// the Vendor column shown, `vendor` is its cell, which the row then ends with.
std::string copiedText(const DeviceRow& row, CopyWhat what, std::optional<std::string_view> vendor = {});

} // namespace fw
