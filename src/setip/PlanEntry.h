// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/FleetEntry.h"
#include "common/Ipv4.h"
#include "setip/SetIpPlan.h"

#include <optional>
#include <span>

namespace fw {

// How a row of a plan ended: done, unchanged, not-found, refused, timed-out, not-back, taken,
// host-address, not-sent or pending.
using PlanState = FleetState;

// A run succeeds only when every row ends done or unchanged.
constexpr bool planRowSettled(PlanState state) {
    return state == PlanState::Done || state == PlanState::Unchanged;
}

// One line of a plan's report.
struct PlanEntry : FleetEntry {
    PlanRow row;
    std::optional<Ipv4> before; // the address the search before the run found it at
    double seconds = 0;         // the request to the device's answer from its new address
    bool operator==(const PlanEntry&) const = default;
};

// Whether an earlier report settled this row: an entry for its MAC, done or unchanged, planned with
// the same address, mask and gateway (or DHCP). A row changed since is sent again.
bool settledEarlier(const PlanRow& row, std::span<const PlanEntry> earlier);

} // namespace fw
