// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/core/PlanEntry.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fw {
namespace {

constexpr std::array<std::pair<PlanState, std::string_view>, 9> kNames{{
    {PlanState::Done, "done"},
    {PlanState::Unchanged, "unchanged"},
    {PlanState::NotFound, "not-found"},
    {PlanState::Refused, "refused"},
    {PlanState::TimedOut, "timed-out"},
    {PlanState::NotBack, "not-back"},
    {PlanState::Taken, "taken"},
    {PlanState::HostAddress, "host-address"},
    {PlanState::NotSent, "not-sent"},
}};

} // namespace

std::string_view planStateName(PlanState state) {
    const auto it =
        std::find_if(kNames.begin(), kNames.end(), [&](const auto& e) { return e.first == state; });
    return it->second;
}

std::optional<PlanState> planStateNamed(std::string_view name) {
    const auto it =
        std::find_if(kNames.begin(), kNames.end(), [&](const auto& e) { return e.second == name; });
    return it == kNames.end() ? std::nullopt : std::optional(it->first);
}

bool settledEarlier(const PlanRow& row, std::span<const PlanEntry> earlier) {
    return std::any_of(earlier.begin(), earlier.end(), [&](const PlanEntry& e) {
        return e.row.mac == row.mac && e.row.address == row.address && planRowSettled(e.state);
    });
}

} // namespace fw
