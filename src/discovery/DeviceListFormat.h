// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/VendorTable.h"
#include "discovery/DeviceRow.h"

#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

// The device list as the command line prints it and the windows export it, UTF-8: one writer for
// both, so a file saved from a window reads like `fernwick-cli search` output. Device texts are
// 8-bit characters (read as Latin-1); vendor names are the registries' UTF-8.
namespace fw {

// The columns of a device line, in order.
inline constexpr std::array<const char*, 9> kDeviceColumns{"name", "ip",   "essid",   "channel", "wep",
                                                           "mac",  "kind", "adapter", "vendor"};

// A device's cells as table and CSV lines show them, in kDeviceColumns' order. Control characters
// are written as \xNN (and "\" as "\\"), so a device's name can neither break the
// one-line-per-device layout nor send escape sequences to the terminal.
std::array<std::string, kDeviceColumns.size()> deviceCells(const DeviceRow& row, const AdapterTable& adapters,
                                                           const VendorTable& vendors);

// A header and one RFC 4180 line per device: kDeviceColumns with adapter_ip before vendor.
std::string deviceListCsv(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          const VendorTable& vendors);

// An array of deviceObject()s as indentedJson() lays it out.
std::string deviceListJson(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                           const VendorTable& vendors);

// One device: {name, ip, essid, channel, wep, mac, kind, adapter, adapter_ip, vendor}, every text
// exactly (the JSON writer escapes it); vendor is null when no registry names one.
nlohmann::json deviceObject(const DeviceRow& row, const AdapterTable& adapters, const VendorTable& vendors);

// A document as the CLI's files and json output have always been laid out: four-space indents, an
// empty array or object still opened on its own line, whole doubles without a fraction, and a
// closing newline.
std::string indentedJson(const nlohmann::json& value);

// An 8-bit device text as UTF-8 with control characters written as \xNN (and "\" as "\\").
std::string printableText(const std::string& latin1);
// The same for a text that is UTF-8 already.
std::string printableUtf8(std::string_view utf8);

// "ap" for an access point, "adapter" otherwise.
std::string kindName(const DeviceRow& row);

// The name of the local adapter that has this address, or the address when none has it.
std::string deviceAdapterName(const AdapterTable& adapters, Ipv4 ip);

} // namespace fw
