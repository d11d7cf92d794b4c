// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FleetEntry.h"

#include <algorithm>
#include <array>

namespace fw {
namespace {

// In the enum's order.
constexpr std::array<std::string_view, 13> kNames{
    "done",      "not-found", "refused",      "timed-out",    "not-back", "not-sent",     "pending",
    "unchanged", "taken",     "host-address", "device-error", "skipped",  "not-restarted"};
static_assert(kNames.size() == static_cast<std::size_t>(FleetState::NotRestarted) + 1);

} // namespace

std::string_view fleetStateName(FleetState state) {
    return kNames.at(static_cast<std::size_t>(state));
}

std::optional<FleetState> fleetStateNamed(std::string_view name) {
    const auto it = std::find(kNames.begin(), kNames.end(), name);
    return it == kNames.end() ? std::nullopt
                              : std::optional(static_cast<FleetState>(std::distance(kNames.begin(), it)));
}

} // namespace fw
