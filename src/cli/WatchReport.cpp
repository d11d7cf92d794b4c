// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WatchReport.h"

#include "cli/AdapterChoice.h"
#include "cli/DeviceReport.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;
using EventKind = DeviceInventory::EventKind;
using Field = DeviceInventory::Field;

// The names the JSON lines and the plain lines give events and fields, in the enums' order.
constexpr std::array<const char*, 9> kEventNames{
    "appeared",        "changed", "gone", "duplicate-ip", "foreign-subnet", "mac-on-two-adapters",
    "adapter-changed", "new",     "back"};
static_assert(static_cast<std::size_t>(EventKind::Back) + 1 == kEventNames.size());
constexpr std::array<const char*, 7> kFieldNames{"name", "ip", "essid", "channel", "wep", "kind", "adapter"};
static_assert(static_cast<std::size_t>(Field::Adapter) + 1 == kFieldNames.size());

const char* fieldName(Field field) {
    return kFieldNames.at(static_cast<std::size_t>(field));
}

// A field's value as the plain line shows it.
std::string fieldText(const DeviceRow& row, Field field, const AdapterTable& table) {
    switch (field) {
    case Field::Name:
        return "'" + printableText(row.name) + "'";
    case Field::EssId:
        return "'" + printableText(row.essId) + "'";
    case Field::Ip:
        return row.ip.toString();
    case Field::Channel:
        return std::to_string(row.channel);
    case Field::Wep:
        return row.wep ? "on" : "off";
    case Field::Kind:
        return kindName(row);
    case Field::Adapter:
        return adapterName(table, row.adapterIp);
    }
    return {};
}

bool isWarning(EventKind kind) {
    return kind == EventKind::DuplicateIp || kind == EventKind::ForeignSubnet ||
           kind == EventKind::MacOnTwoAdapters;
}

std::string clock(std::chrono::system_clock::time_point at, bool utc, const char* format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
    if (utc) {
        gmtime_r(&seconds, &parts);
    } else {
        localtime_r(&seconds, &parts);
    }
    std::array<char, 32> text{};
    return {text.data(), std::strftime(text.data(), text.size(), format, &parts)};
}

} // namespace

const char* eventName(EventKind kind) {
    return kEventNames.at(static_cast<std::size_t>(kind));
}

std::string utcTimestamp(std::chrono::system_clock::time_point at) {
    const auto sinceEpoch = at.time_since_epoch();
    // Milliseconds into the second, rounded down also before 1970.
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(sinceEpoch) -
                    std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03d", static_cast<int>(ms.count()));
    return clock(std::chrono::floor<std::chrono::seconds>(at), true, "%Y-%m-%dT%H:%M:%S") + fraction.data() +
           "Z";
}

std::string localClock(std::chrono::system_clock::time_point at) {
    return clock(at, false, "%H:%M:%S");
}

std::string watchJsonLine(const Event& e, const AdapterTable& table, std::chrono::system_clock::time_point at,
                          const VendorTable& vendors) {
    nlohmann::json o{{"time", utcTimestamp(at)}, {"event", eventName(e.kind)}};
    if (e.moved) {
        o["adapter"] = e.moved->adapter;
        o["ip"] = {{"old", e.moved->from.toString()}, {"new", e.moved->to.toString()}};
        return o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    const DeviceRow& first = e.devices.front();
    switch (e.kind) {
    case EventKind::Changed: {
        const nlohmann::json before = deviceObject(*e.before, table, vendors);
        const nlohmann::json after = deviceObject(first, table, vendors);
        nlohmann::json changes = nlohmann::json::object();
        for (const Field f : e.fields) {
            changes[fieldName(f)] = {{"old", before[fieldName(f)]}, {"new", after[fieldName(f)]}};
        }
        o["changes"] = changes;
        o["device"] = after;
        break;
    }
    case EventKind::DuplicateIp:
    case EventKind::MacOnTwoAdapters: {
        nlohmann::json devices = nlohmann::json::array();
        for (const DeviceRow& r : e.devices) {
            devices.push_back(deviceObject(r, table, vendors));
        }
        if (e.kind == EventKind::DuplicateIp) {
            o["ip"] = first.ip.toString();
            o["adapter"] = adapterName(table, first.adapterIp);
        } else {
            o["mac"] = formatMac(first.mac);
        }
        o["devices"] = devices;
        break;
    }
    case EventKind::Appeared:
    case EventKind::New:
    case EventKind::Back:
    case EventKind::Gone:
    case EventKind::ForeignSubnet:
    case EventKind::AdapterChanged:
        o["device"] = deviceObject(first, table, vendors);
        break;
    }
    return o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string watchPlainLine(const Event& e, const AdapterTable& table,
                           std::chrono::system_clock::time_point at) {
    std::string text =
        utcTimestamp(at) + " " + (isWarning(e.kind) ? "warning " : "") + eventName(e.kind) + " ";
    if (e.moved) {
        return text + e.moved->adapter + " " + e.moved->from.toString() + " -> " + e.moved->to.toString();
    }
    const DeviceRow& d = e.devices.front();
    const std::string mac = formatMac(d.mac);
    const std::string on = adapterName(table, d.adapterIp);
    switch (e.kind) {
    case EventKind::Appeared:
    case EventKind::New:
    case EventKind::Back:
    case EventKind::AdapterChanged:
        return text + mac + " " + d.ip.toString() + " '" + printableText(d.name) + "' " + kindName(d) +
               " on " + on;
    case EventKind::Gone:
        return text + mac + " " + d.ip.toString() + " on " + on;
    case EventKind::Changed: {
        text += mac;
        const char* separator = " ";
        for (const Field f : e.fields) {
            text += separator + std::string(fieldName(f)) + " " + fieldText(*e.before, f, table) + " -> " +
                    fieldText(d, f, table);
            separator = ", ";
        }
        return text;
    }
    case EventKind::ForeignSubnet:
        return text + mac + " " + d.ip.toString() + " is in no subnet of " + on +
               "; give it an address there with set-ip";
    case EventKind::DuplicateIp:
    case EventKind::MacOnTwoAdapters: {
        text += e.kind == EventKind::DuplicateIp ? d.ip.toString() + " on " + on + ":" : mac + " on";
        const char* separator = " ";
        for (const DeviceRow& r : e.devices) {
            text += separator +
                    (e.kind == EventKind::DuplicateIp ? formatMac(r.mac) : adapterName(table, r.adapterIp));
            separator = ", ";
        }
        return text;
    }
    }
    return text;
}

} // namespace fw::cli
