// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InventoryFile.h"

#include "cli/ReportFile.h"
#include "common/DeviceText.h"
#include "platform/FilePath.h"

#include <nlohmann/json.hpp>

namespace fw::cli {
namespace {

using nlohmann::json;

constexpr const char* kFormatName = "fernwick-inventory";

nlohmann::ordered_json deviceJson(const MacAddress& mac, const KnownDevices::Device& d) {
    // Members in a fixed order: a person reads it, diff compares two.
    nlohmann::ordered_json o = nlohmann::ordered_json::object();
    o["mac"] = formatMac(mac);
    o["name"] = d.name;
    o["note"] = d.note;
    o["first_seen"] = utcText(d.firstSeen);
    o["last_seen"] = utcText(d.lastSeen);
    o["gone"] = d.gone;
    o["ip"] = d.row.ip.toString();
    o["adapter"] = d.adapter;
    o["adapter_ip"] = d.row.adapterIp.toString();
    o["fields"] = nlohmann::ordered_json{{"name", deviceTextToUtf8(d.row.name)},
                                         {"essid", deviceTextToUtf8(d.row.essId)},
                                         {"channel", d.row.channel},
                                         {"wep", d.row.wep},
                                         {"kind", d.row.kind == DeviceKind::AccessPoint ? "ap" : "adapter"}};
    return o;
}

template <typename T> T member(const json& o, const char* key, T otherwise = T{}) {
    const auto it = o.find(key);
    if (it == o.end()) {
        return otherwise;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return it->is_string() ? it->get<std::string>() : otherwise;
    } else if constexpr (std::is_same_v<T, bool>) {
        return it->is_boolean() ? it->get<bool>() : otherwise;
    } else {
        return it->is_number_unsigned() ? it->get<T>() : otherwise;
    }
}

// A device as a script may have left it: what is missing or of another type takes its empty value.
std::optional<std::pair<MacAddress, KnownDevices::Device>> deviceOf(const json& o) {
    if (!o.is_object()) {
        return std::nullopt;
    }
    const auto mac = macInAnyForm(member<std::string>(o, "mac"));
    if (!mac) {
        return std::nullopt;
    }
    KnownDevices::Device d;
    d.name = member<std::string>(o, "name");
    d.note = member<std::string>(o, "note");
    d.firstSeen = parseUtc(member<std::string>(o, "first_seen")).value_or(KnownDevices::Time{});
    d.lastSeen = parseUtc(member<std::string>(o, "last_seen")).value_or(d.firstSeen);
    d.gone = member<bool>(o, "gone");
    d.row.mac = *mac;
    d.row.ip = Ipv4::parse(member<std::string>(o, "ip")).value_or(Ipv4{});
    d.adapter = member<std::string>(o, "adapter");
    d.row.adapterIp = Ipv4::parse(member<std::string>(o, "adapter_ip")).value_or(Ipv4{});
    const auto fields = o.find("fields");
    if (fields != o.end() && fields->is_object()) {
        d.row.name = utf8ToDeviceText(member<std::string>(*fields, "name"));
        d.row.essId = utf8ToDeviceText(member<std::string>(*fields, "essid"));
        d.row.channel = member<std::uint8_t>(*fields, "channel");
        d.row.wep = member<bool>(*fields, "wep");
        d.row.kind =
            member<std::string>(*fields, "kind") == "ap" ? DeviceKind::AccessPoint : DeviceKind::Bridge;
    }
    return std::pair{*mac, d};
}

std::filesystem::path lockPath(const std::string& path) {
    std::filesystem::path lock = filePath(path);
    return lock += ".lock";
}

std::string named(const std::string& path) {
    return "the inventory '" + path + "'";
}

} // namespace

std::string inventoryText(const KnownDevices& devices) {
    std::string text = "{\n  \"format\": \"" + std::string(kFormatName) +
                       "\",\n  \"version\": " + std::to_string(InventoryFile::kFormatVersion) +
                       ",\n  \"devices\": [";
    const char* separator = "\n    ";
    for (const auto& [mac, d] : devices.devices()) {
        text += separator + deviceJson(mac, d).dump(-1, ' ', false, json::error_handler_t::replace);
        separator = ",\n    ";
    }
    return text + (devices.devices().empty() ? "]\n}\n" : "\n  ]\n}\n");
}

Result<KnownDevices, std::string> inventoryOf(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || member<std::string>(doc, "format") != kFormatName ||
        !doc.contains("devices") || !doc["devices"].is_array()) {
        return Failure{std::string("is not a Fernwick inventory")};
    }
    const auto version = member<int>(doc, "version", 0);
    if (version > InventoryFile::kFormatVersion) {
        return Failure{"is of a newer format (version " + std::to_string(version) +
                       "); this fernwick-cli reads version " + std::to_string(InventoryFile::kFormatVersion) +
                       " and older"};
    }
    KnownDevices devices;
    for (const json& entry : doc["devices"]) {
        if (auto d = deviceOf(entry)) {
            devices.put(d->first, std::move(d->second));
        }
    }
    return devices;
}

Result<InventoryFile, std::string> InventoryFile::openForWriting(const std::string& path,
                                                                 const std::string& holder) {
    auto lock = files::FileLock::take(lockPath(path), holder);
    if (!lock) {
        if (lock.error() == std::errc::device_or_resource_busy) {
            const std::string owner = files::FileLock::ownerOf(lockPath(path));
            return Failure{named(path) + " is being written by " +
                           (owner.empty() ? std::string("another program") : owner) +
                           "; one program at a time may write it"};
        }
        return Failure{"cannot lock " + named(path) + " (" + pathText(lockPath(path)) +
                       "): " + lock.error().message()};
    }
    std::error_code ec;
    if (!std::filesystem::exists(filePath(path), ec)) {
        if (const auto folder = std::filesystem::absolute(filePath(path)).parent_path();
            !std::filesystem::is_directory(folder, ec)) {
            return Failure{named(path) + " cannot be written: there is no folder " + pathText(folder)};
        }
        return InventoryFile(path, std::move(*lock), KnownDevices{});
    }
    auto devices = read(path);
    if (!devices) {
        return Failure{devices.error()};
    }
    return InventoryFile(path, std::move(*lock), std::move(*devices));
}

Result<KnownDevices, std::string> InventoryFile::read(const std::string& path) {
    const auto text = readTextFile(path);
    if (!text) {
        return Failure{named(path) + " cannot be read: " + text.error().message()};
    }
    auto devices = inventoryOf(*text);
    if (!devices) {
        return Failure{named(path) + " " + devices.error() + "; it is left as it is"};
    }
    return devices;
}

Result<std::optional<InventoryFile>, std::string> openInventory(const std::string& path,
                                                                const std::string& holder) {
    if (path.empty()) {
        return std::optional<InventoryFile>();
    }
    auto file = InventoryFile::openForWriting(path, holder);
    if (!file) {
        return Failure{file.error()};
    }
    return std::optional<InventoryFile>(std::move(*file));
}

Status<std::string> InventoryFile::save() const {
    if (const auto replaced = replaceReport(path_, inventoryText(devices_)); !replaced) {
        return Failure{named(path_) + " could not be saved: " + replaced.error().message() +
                       "; the file keeps what it held before"};
    }
    return Done{};
}

} // namespace fw::cli
