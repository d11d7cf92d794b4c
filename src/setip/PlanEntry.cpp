// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/PlanEntry.h"

#include "common/NameTable.h"

#include <algorithm>

namespace fw {
namespace {

constexpr NameTable<PlanState, 10> kNames{{
    {PlanState::Done, "done"},
    {PlanState::Unchanged, "unchanged"},
    {PlanState::NotFound, "not-found"},
    {PlanState::Refused, "refused"},
    {PlanState::TimedOut, "timed-out"},
    {PlanState::NotBack, "not-back"},
    {PlanState::Taken, "taken"},
    {PlanState::HostAddress, "host-address"},
    {PlanState::NotSent, "not-sent"},
    {PlanState::Pending, "pending"},
}};

} // namespace

std::string_view planStateName(PlanState state) {
    return nameIn(kNames, state);
}

std::optional<PlanState> planStateNamed(std::string_view name) {
    return valueNamed(kNames, name);
}

bool settledEarlier(const PlanRow& row, std::span<const PlanEntry> earlier) {
    return std::any_of(earlier.begin(), earlier.end(), [&](const PlanEntry& e) {
        return e.row.mac == row.mac && e.row.address == row.address && planRowSettled(e.state);
    });
}

} // namespace fw
