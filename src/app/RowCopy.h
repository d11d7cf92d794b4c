// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRow.h"

#include <cstdint>
#include <string>

namespace fw {

// What the list's Copy commands take from the picked row.
enum class CopyWhat : std::uint8_t { Row, Mac, Ip };

// The text a Copy command puts on the clipboard, in UTF-8 with "\n" line ends. A row is its visible
// cells as the list shows them, tab-separated under a line of their column titles, so that a
// spreadsheet pastes it as a header and one row; the MAC and IP are their cells' text alone.
std::string copiedText(const DeviceRow& row, CopyWhat what);

} // namespace fw
