// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PlanReport.h"

#include "cli/DeviceReport.h"
#include "cli/FleetReport.h"
#include "cli/ProgressText.h"
#include "cli/ReportFile.h"
#include "common/DeviceText.h"

namespace fw::cli {
namespace {

using nlohmann::json;

json address(const std::optional<Ipv4>& ip) {
    return ip ? json(ip->toString()) : json(nullptr);
}

json toJson(const PlanEntry& e) {
    const auto& planned = e.row.address;
    json o = fleetEntryJson(e);
    o.update({{"line", e.row.line},
              {"mac", formatMac(e.row.mac)},
              {"label", e.row.label},
              {"planned_ip", planned ? planned->address.toString() : std::string("dhcp")},
              {"mask", address(planned ? std::optional(planned->mask) : std::nullopt)},
              {"gateway", address(planned ? std::optional(planned->gateway) : std::nullopt)},
              {"old_ip", address(e.before)},
              {"seconds", e.seconds}});
    return o;
}

// An entry as this program wrote it; none for anything else, so a hand-edited row is sent again.
std::optional<PlanEntry> fromJson(const json& o) {
    PlanEntry e;
    const auto mac = readFleetEntry(o, e);
    if (!mac) {
        return std::nullopt;
    }
    e.row.line = jsonMember<std::size_t>(o, "line");
    e.row.mac = *mac;
    e.row.label = jsonMember<std::string>(o, "label");
    if (const std::string planned = jsonMember<std::string>(o, "planned_ip"); planned != "dhcp") {
        const auto ip = Ipv4::parse(planned);
        const auto mask = Ipv4::parse(jsonMember<std::string>(o, "mask"));
        const auto gateway = Ipv4::parse(jsonMember<std::string>(o, "gateway"));
        if (!ip || !mask || !gateway) {
            return std::nullopt;
        }
        e.row.address = FixedAddress{*ip, *mask, *gateway};
    }
    e.before = Ipv4::parse(jsonMember<std::string>(o, "old_ip"));
    e.seconds = jsonMember<double>(o, "seconds");
    return e;
}

bool isPlanReport(const json& doc) {
    return doc.is_object() && doc.contains("rows") && doc["rows"].is_array() && doc.contains("plan");
}
constexpr ReportKind kPlanReport{isPlanReport, "a plan report"};

std::string plannedText(const PlanRow& row) {
    return row.address ? row.address->address.toString() : "dhcp";
}

} // namespace

PlanReport::PlanReport(std::string plan) : plan_(std::move(plan)) {}

Status<std::error_code> PlanReport::save(const std::string& path,
                                         const std::vector<PlanEntry>& entries) const {
    return replaceReport(path, indentedJson(json{{"plan", plan_}, {"rows", rows(entries)}}));
}

json PlanReport::rows(const std::vector<PlanEntry>& entries) {
    json rows = json::array();
    for (const PlanEntry& e : entries) {
        rows.push_back(toJson(e));
    }
    return rows;
}

Result<std::vector<PlanEntry>, ReportProblem> PlanReport::settledIn(const std::string& path) {
    return earlierEntries<PlanEntry>(path, kPlanReport, "rows", fromJson,
                                     [](const json&, const PlanEntry& e) { return planRowSettled(e.state); });
}

ReportKind PlanReport::kind() {
    return kPlanReport;
}

std::string PlanReport::summary(const std::vector<PlanEntry>& entries) {
    std::vector<std::vector<std::string>> lines{
        {"LINE", "MAC", "LABEL", "PLANNED", "ADAPTER", "STATE", "SECONDS", "DETAIL"}};
    std::size_t settled = 0;
    std::size_t pending = 0; // a dry run's rows that would be sent
    for (const PlanEntry& e : entries) {
        settled += planRowSettled(e.state) ? 1 : 0;
        pending += e.state == PlanState::Pending ? 1 : 0;
        lines.push_back({std::to_string(e.row.line), formatMac(e.row.mac),
                         e.row.label.empty() ? "-" : printableText(utf8ToDeviceText(e.row.label)),
                         plannedText(e.row), e.adapter.empty() ? "-" : e.adapter, fleetStateText(e),
                         tenthsText(e.seconds), printableText(e.detail)});
    }
    std::string total = alignedLines(lines) + std::to_string(settled) + " of " +
                        std::to_string(entries.size()) + " rows done or unchanged";
    if (pending > 0) {
        total += ", " + std::to_string(pending) + " would be sent";
    }
    return total + "\n";
}

} // namespace fw::cli
