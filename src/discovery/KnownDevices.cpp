// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/KnownDevices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <set>

namespace fw {
namespace {

std::string interfaceOf(const AdapterTable& adapters, Ipv4 adapterIp) {
    const auto it = std::find_if(adapters.begin(), adapters.end(),
                                 [&](const AdapterEntry& e) { return e.ip == adapterIp; });
    return it == adapters.end() ? std::string() : it->interfaceName;
}

template <typename T> bool digits(std::string_view text, T& into) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), into);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

std::vector<std::pair<MacAddress, KnownDevices::Arrival>>
KnownDevices::seen(const std::vector<DeviceRow>& rows, const AdapterTable& adapters, Time now) {
    std::vector<std::pair<MacAddress, Arrival>> arrivals;
    std::set<MacAddress> answered;
    for (const DeviceRow& row : rows) {
        if (!answered.insert(row.mac).second) {
            continue; // the same MAC on a further adapter
        }
        const auto found = devices_.find(row.mac);
        Arrival arrival = Arrival::Known;
        if (found == devices_.end()) {
            arrival = Arrival::New;
            devices_.emplace(row.mac,
                             Device{now, now, row, interfaceOf(adapters, row.adapterIp), false, {}, {}});
        } else {
            Device& d = found->second;
            arrival = d.gone ? Arrival::Back : Arrival::Known;
            d.lastSeen = now;
            d.row = row;
            d.adapter = interfaceOf(adapters, row.adapterIp);
            d.gone = false;
        }
        arrivals.emplace_back(row.mac, arrival);
    }
    std::sort(arrivals.begin(), arrivals.end());
    return arrivals;
}

bool KnownDevices::markGone(const MacAddress& mac) {
    const auto it = devices_.find(mac);
    if (it == devices_.end() || it->second.gone) {
        return false;
    }
    it->second.gone = true;
    return true;
}

std::vector<DeviceRow> KnownDevices::goneSilentSince(Time since) {
    std::vector<DeviceRow> gone;
    for (auto& [mac, d] : devices_) {
        if (!d.gone && d.lastSeen < since) {
            d.gone = true;
            gone.push_back(d.row);
        }
    }
    return gone;
}

bool KnownDevices::setName(const MacAddress& mac, std::string text) {
    const auto it = devices_.find(mac);
    if (it != devices_.end()) {
        it->second.name = std::move(text);
    }
    return it != devices_.end();
}

bool KnownDevices::setNote(const MacAddress& mac, std::string text) {
    const auto it = devices_.find(mac);
    if (it != devices_.end()) {
        it->second.note = std::move(text);
    }
    return it != devices_.end();
}

bool KnownDevices::forget(const MacAddress& mac) {
    return devices_.erase(mac) == 1;
}

std::optional<MacAddress> macInAnyForm(std::string_view text) {
    std::string hex;
    const bool dotted = text.size() == 14 && text[4] == '.' && text[9] == '.';
    if (dotted) {
        hex =
            std::string(text.substr(0, 4)) + std::string(text.substr(5, 4)) + std::string(text.substr(10, 4));
    } else if (text.size() == 12) {
        hex = text;
    } else if (text.size() == 17 && (text[2] == ':' || text[2] == '-')) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != text[2]) {
                    return std::nullopt;
                }
            } else {
                hex += text[i];
            }
        }
    }
    if (hex.size() != 12 || !std::all_of(hex.begin(), hex.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, mac.at(i), 16);
    }
    return mac;
}

std::string utcText(KnownDevices::Time at) {
    const auto day = std::chrono::floor<std::chrono::days>(at);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(at - day);
    std::array<char, 32> text{};
    const int n = std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                                unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                                int(time.minutes().count()), int(time.seconds().count()));
    return {text.data(), static_cast<std::size_t>(n)};
}

std::optional<KnownDevices::Time> parseUtc(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.fff]Z
    if (text.size() < 20 || text.back() != 'Z' || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || (text.size() > 20 && text[19] != '.')) {
        return std::nullopt;
    }
    int y = 0;
    unsigned mo = 0;
    unsigned d = 0;
    int h = 0;
    int mi = 0;
    int s = 0;
    if (!digits(text.substr(0, 4), y) || !digits(text.substr(5, 2), mo) || !digits(text.substr(8, 2), d) ||
        !digits(text.substr(11, 2), h) || !digits(text.substr(14, 2), mi) || !digits(text.substr(17, 2), s) ||
        h > 23 || mi > 59 || s > 60) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(mo), std::chrono::day(d)};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(h) + std::chrono::minutes(mi) +
           std::chrono::seconds(s);
}

} // namespace fw
