// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "common/AdapterEntry.h"
#include "discovery/DeviceRow.h"

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace fw::cli {

// The search result on stdout, UTF-8. Device texts are 8-bit characters (read as Latin-1).
// table: a header and one aligned line per device; csv: a header and one RFC 4180 line per device;
// json: an array of objects {name, ip, essid, channel, wep, mac, kind, adapter, adapter_ip}.
// In table and csv, control characters are written as \xNN, so a device's name can neither break
// the one-line-per-device layout nor send escape sequences to the terminal. JSON keeps every text
// exactly (the JSON writer escapes it).
std::string formatDevices(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          OutputFormat format);

// One device as the json format writes it: {name, ip, essid, channel, wep, mac, kind, adapter,
// adapter_ip}.
nlohmann::json deviceObject(const DeviceRow& row, const AdapterTable& adapters);

// A document as the CLI's files and json output have always been laid out: four-space indents, an
// empty array or object still opened on its own line, whole doubles without a fraction, and a
// closing newline.
std::string indentedJson(const nlohmann::json& value);

// An 8-bit device text as UTF-8 with control characters written as \xNN (and "\" as "\\").
std::string printableText(const std::string& latin1);

// The columns a UTF-8 text takes on a terminal: one per character.
std::size_t displayWidth(std::string_view utf8);

// A table as the terminal shows it (the search's, a report's summary): the cells of each line (the
// first one the header) padded to their column's width, two blanks apart, no blanks at a line's end.
std::string alignedLines(const std::vector<std::vector<std::string>>& lines);

// "ap" for an access point, "adapter" otherwise.
std::string kindName(const DeviceRow& row);

// A device named on the command line, as the operator wrote it (dotted address or MAC).
std::string describe(const DeviceTarget& target);
// "line 3: 'x' is neither an IPv4 address nor a MAC address", or that the list names no device.
std::string deviceListProblemText(const DeviceListProblem& problem);
// Whether a listed row is the named device: by address or by MAC.
bool matches(const DeviceTarget& target, const DeviceRow& row);

} // namespace fw::cli
