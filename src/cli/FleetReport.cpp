// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FleetReport.h"

#include "common/DeviceText.h"

namespace fw::cli {

using nlohmann::json;

json fleetEntryJson(const FleetEntry& e) {
    return {{"ip", e.ip ? json(e.ip->toString()) : json(nullptr)},
            {"name", deviceTextToUtf8(e.name)},
            {"adapter", e.adapter},
            {"state", std::string(fleetStateName(e.state))},
            {"detail", e.detail},
            {"earlier", e.earlier}};
}

std::optional<MacAddress> readFleetEntry(const json& o, FleetEntry& e) {
    if (!o.is_object()) {
        return std::nullopt;
    }
    const auto state = fleetStateNamed(jsonMember<std::string>(o, "state"));
    const auto mac = parseMac(jsonMember<std::string>(o, "mac"));
    if (!state || !mac) {
        return std::nullopt;
    }
    e.state = *state;
    e.ip = Ipv4::parse(jsonMember<std::string>(o, "ip"));
    e.name = utf8ToDeviceText(jsonMember<std::string>(o, "name"));
    e.adapter = jsonMember<std::string>(o, "adapter");
    e.detail = jsonMember<std::string>(o, "detail");
    e.earlier = true;
    return mac;
}

std::string fleetStateText(const FleetEntry& e) {
    return std::string(fleetStateName(e.state)) + (e.earlier ? " (earlier)" : "");
}

} // namespace fw::cli
