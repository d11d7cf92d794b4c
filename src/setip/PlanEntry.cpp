// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/PlanEntry.h"

#include <algorithm>

namespace fw {

bool settledEarlier(const PlanRow& row, std::span<const PlanEntry> earlier) {
    return std::any_of(earlier.begin(), earlier.end(), [&](const PlanEntry& e) {
        return e.row.mac == row.mac && e.row.address == row.address && planRowSettled(e.state);
    });
}

} // namespace fw
