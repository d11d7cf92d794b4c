// SPDX-License-Identifier: GPL-3.0-or-later
// The files an operator writes by hand: a targets file and a set-ip plan. A plan is read whole or
// refused with its problems in line order; a targets file keeps its good lines beside its problems,
// also in line order; what is read holds together.
#include "FuzzInput.h"
#include "discovery/TargetSet.h"
#include "setip/SetIpPlan.h"

#include <algorithm>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using fw::fuzz::require;

    const fw::TargetList targets = fw::parseTargetList(text);
    for (const fw::Target& t : targets.targets) {
        require(t.line > 0 && t.range.first.toHostOrder() <= t.range.last.toHostOrder(), "target range");
    }
    require(std::is_sorted(targets.problems.begin(), targets.problems.end(),
                           [](const auto& a, const auto& b) { return a.line < b.line; }),
            "target problems in line order");
    if (const auto set = fw::TargetSet::make(targets.targets, {}, true)) {
        std::uint64_t total = 0;
        for (const fw::Ipv4Range& r : set->ranges()) {
            total += r.size();
        }
        require(set->size() <= total, "size within the ranges");
    }

    if (const auto plan = fw::parseSetIpPlan(text)) {
        std::set<fw::MacAddress> macs;
        std::set<std::uint32_t> addresses;
        std::size_t line = 0;
        for (const fw::PlanRow& row : *plan) {
            require(row.line > line, "rows in line order");
            line = row.line;
            require(macs.insert(row.mac).second, "one row per MAC");
            require(!row.address || addresses.insert(row.address->address.toHostOrder()).second,
                    "one MAC per address");
        }
    } else {
        require(!plan.error().empty(), "a refusal names a problem");
        require(std::is_sorted(plan.error().begin(), plan.error().end(),
                               [](const auto& a, const auto& b) { return a.line < b.line; }),
                "plan problems in line order");
    }
    return 0;
}
