// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "setip/SetIpPlan.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fw {

// How one row of a plan ended. Done: the device said OK (and, verified, answers from the planned
// address, alone); Unchanged: it already did, so nothing was sent. TimedOut: no answer to the
// request; NotBack: it said OK but did not come back as planned. Taken: another device answers from
// the address: before the request one not in the plan (nothing was sent), or, verified, any other
// still does after the row's device took it; HostAddress: one of this host's adapters holds it.
// NotSent: port 4001 could not be had on the device's adapter, or the run stopped first.
// Pending: a dry run would send it a request.
enum class PlanState {
    Done,
    Unchanged,
    NotFound,
    Refused,
    TimedOut,
    NotBack,
    Taken,
    HostAddress,
    NotSent,
    Pending
};

// "done", "unchanged", "not-found", "refused", "timed-out", "not-back", "taken", "host-address",
// "not-sent", "pending"
std::string_view planStateName(PlanState state);
std::optional<PlanState> planStateNamed(std::string_view name);

// A run succeeds only when every row ends done or unchanged.
constexpr bool planRowSettled(PlanState state) {
    return state == PlanState::Done || state == PlanState::Unchanged;
}

// One line of a plan's report.
struct PlanEntry {
    PlanRow row;
    PlanState state = PlanState::NotFound;
    std::optional<Ipv4> ip;     // the address the device last answered from
    std::optional<Ipv4> before; // the address the search before the run found it at
    std::string name;           // 8-bit text from the device
    std::string adapter;        // interface name
    std::string detail;         // why nothing was sent, or what answered instead
    double seconds = 0;         // the request to the device's answer from its new address
    bool earlier = false;       // settled in an earlier run, carried over from --skip-done
    bool operator==(const PlanEntry&) const = default;
};

// Whether an earlier report settled this row: an entry for its MAC, done or unchanged, planned with
// the same address, mask and gateway (or DHCP). A row changed since is sent again.
bool settledEarlier(const PlanRow& row, std::span<const PlanEntry> earlier);

} // namespace fw
