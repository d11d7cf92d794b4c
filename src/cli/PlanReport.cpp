// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PlanReport.h"

#include "cli/DeviceReport.h"
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
    return {{"line", e.row.line},
            {"mac", formatMac(e.row.mac)},
            {"label", e.row.label},
            {"planned_ip", planned ? planned->address.toString() : std::string("dhcp")},
            {"mask", address(planned ? std::optional(planned->mask) : std::nullopt)},
            {"gateway", address(planned ? std::optional(planned->gateway) : std::nullopt)},
            {"old_ip", address(e.before)},
            {"ip", address(e.ip)},
            {"name", deviceTextToUtf8(e.name)},
            {"adapter", e.adapter},
            {"state", std::string(planStateName(e.state))},
            {"detail", e.detail},
            {"seconds", e.seconds},
            {"earlier", e.earlier}};
}

// An entry as this program wrote it; none for anything else, so a hand-edited row is sent again.
std::optional<PlanEntry> fromJson(const json& o) {
    if (!o.is_object()) {
        return std::nullopt;
    }
    const auto state = planStateNamed(jsonMember<std::string>(o, "state"));
    const auto mac = parseMac(jsonMember<std::string>(o, "mac"));
    const std::string planned = jsonMember<std::string>(o, "planned_ip");
    if (!state || !mac) {
        return std::nullopt;
    }
    PlanEntry e;
    e.row.line = jsonMember<std::size_t>(o, "line");
    e.row.mac = *mac;
    e.row.label = jsonMember<std::string>(o, "label");
    if (planned != "dhcp") {
        const auto ip = Ipv4::parse(planned);
        const auto mask = Ipv4::parse(jsonMember<std::string>(o, "mask"));
        const auto gateway = Ipv4::parse(jsonMember<std::string>(o, "gateway"));
        if (!ip || !mask || !gateway) {
            return std::nullopt;
        }
        e.row.address = FixedAddress{*ip, *mask, *gateway};
    }
    e.state = *state;
    e.before = Ipv4::parse(jsonMember<std::string>(o, "old_ip"));
    e.ip = Ipv4::parse(jsonMember<std::string>(o, "ip"));
    e.name = utf8ToDeviceText(jsonMember<std::string>(o, "name"));
    e.adapter = jsonMember<std::string>(o, "adapter");
    e.detail = jsonMember<std::string>(o, "detail");
    e.seconds = jsonMember<double>(o, "seconds");
    e.earlier = true;
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
    const auto read = readEarlierReport(path, kPlanReport);
    if (!read) {
        return Failure{read.error()};
    }
    std::vector<PlanEntry> settled;
    if (!*read) {
        return settled;
    }
    for (const json& v : (**read)["rows"]) {
        if (const auto e = fromJson(v); e && planRowSettled(e->state)) {
            settled.push_back(*e);
        }
    }
    return settled;
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
                         plannedText(e.row), e.adapter.empty() ? "-" : e.adapter,
                         std::string(planStateName(e.state)) + (e.earlier ? " (earlier)" : ""),
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
