// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "common/AdapterEntry.h"
#include "discovery/DeviceListFormat.h"
#include "discovery/DeviceRow.h"

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace fw::cli {

// The search result on stdout, UTF-8: table (a header and one aligned line per device, the columns
// of kDeviceColumns), csv (deviceListCsv) or json (deviceListJson).
std::string formatDevices(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          OutputFormat format, const VendorTable& vendors = {});

// The columns a UTF-8 text takes on a terminal: one per character.
std::size_t displayWidth(std::string_view utf8);

// A table as the terminal shows it (the search's, a report's summary): the cells of each line (the
// first one the header) padded to their column's width, two blanks apart, no blanks at a line's end.
std::string alignedLines(const std::vector<std::vector<std::string>>& lines);

// A device named on the command line, as the operator wrote it (dotted address or MAC).
std::string describe(const DeviceTarget& target);
// "line 3: 'x' is neither an IPv4 address nor a MAC address", or that the list names no device.
std::string deviceListProblemText(const DeviceListProblem& problem);
// Whether a listed row is the named device: by address or by MAC.
bool matches(const DeviceTarget& target, const DeviceRow& row);

} // namespace fw::cli
