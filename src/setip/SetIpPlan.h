// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/MacAddress.h"
#include "common/Result.h"
#include "discovery/DeviceRow.h"
#include "setip/FixedAddressCheck.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// A plan gives many devices their addresses: CSV with a header naming the columns mac, ip, mask,
// gateway and optionally label, in any order, either letter case. `dhcp` in ip switches the device to
// DHCP (mask and gateway then stay empty); an empty gateway is 0.0.0.0. Lines starting with '#' and
// blank lines are skipped; a field may be in double quotes ("" for a quote inside), on one line.
struct PlanRow {
    std::size_t line = 0;
    MacAddress mac{};
    std::optional<FixedAddress> address; // none: DHCP
    std::string label;                   // only for the report
    bool operator==(const PlanRow&) const = default;
};

enum class PlanError {
    NoHeader,        // nothing but comments and blank lines
    UnknownColumn,   // text: the column's name
    MissingColumn,   // text: the missing column's name
    RepeatedColumn,  // text: the column's name
    BadQuotes,       // a quote left open, or text after a closing quote
    FieldCount,      // more or fewer fields than the header has columns
    BadMac,          // text: the field
    BadAddress,      // not an address a device can take: the same judgement as set-ip --ip
    BadMask,         // missing, or not an address
    BadGateway,      // not an address
    DhcpWithAddress, // dhcp with a mask or a gateway; text: that field
    RepeatedMac,     // a second row for one MAC; firstLine: the first
    RepeatedAddress, // a second MAC for one address; firstLine: the first
};

struct PlanProblem {
    PlanError error = PlanError::NoHeader;
    std::size_t line = 0;
    std::string text;
    std::size_t firstLine = 0;
    bool operator==(const PlanProblem&) const = default;
};

// The plan's rows in file order, or every problem found, in line order: a header problem stops the
// reading there, since no row can be read without the columns.
Result<std::vector<PlanRow>, std::vector<PlanProblem>> parseSetIpPlan(std::string_view content);

// What to do with a row, given what the search before the run listed. Unchanged: the MAC already
// answers from the planned address and no other device does; only the address can be compared,
// since the discovery reply carries neither the mask nor the gateway. A DHCP row is always sent: a
// reply cannot tell whether the device took its address by DHCP.
enum class PlanAction { Send, Unchanged, NotFound };
PlanAction planAction(const PlanRow& row, std::span<const DeviceRow> seen);

// What a verifying search saw of a row's device after its OK. Back: it answers from its planned
// address (DHCP: from any) and no other device does; Shared: it does, but another device answers
// from that address too; Elsewhere: it answers, from other addresses only; Silent: not at all.
enum class PlanSighting { Back, Shared, Elsewhere, Silent };
struct PlanCheck {
    PlanSighting sighting = PlanSighting::Silent;
    const DeviceRow* device = nullptr; // Back, Shared: the answer from the address; Elsewhere: one
    const DeviceRow* other = nullptr;  // Shared: the other device on the address
};
PlanCheck checkRow(const PlanRow& row, std::span<const DeviceRow> seen);

// What makes a row's address taken (set-ip --verify): a device answering from it that is not the
// row's own and that the plan does not move elsewhere, so a plan that renumbers or swaps devices is
// not refused for its own members. Null for a DHCP row or a free address.
const DeviceRow* takenBy(const PlanRow& row, std::span<const DeviceRow> seen, std::span<const PlanRow> plan);

} // namespace fw
