// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MetricsText.h"

#include "common/DeviceText.h"
#include "common/MacAddress.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <tuple>

namespace fw::cli {
namespace {

using Device = MetricsSnapshot::Device;

// The series' MAC label: lower-case and colon-separated, as node_exporter and most exporters write
// MACs, so that rules can join on it.
std::string macLabel(const MacAddress& mac) {
    std::string text = formatMac(mac);
    std::replace(text.begin(), text.end(), '-', ':');
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// Shortest, without an exponent: timestamps read as they are (1700000000, not 1.7e+09).
std::string number(double value) {
    std::array<char, 32> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("NaN");
}

class Families {
public:
    void family(std::string_view name, std::string_view type, std::string_view help) {
        text_ += "# HELP ";
        text_ += name;
        text_ += ' ';
        text_ += help;
        text_ += "\n# TYPE ";
        text_ += name;
        text_ += ' ';
        text_ += type;
        text_ += '\n';
        name_ = name;
    }

    // labels: name and value (UTF-8, unescaped) pairs.
    void sample(std::initializer_list<std::pair<std::string_view, std::string_view>> labels,
                const std::string& value) {
        text_ += name_;
        if (labels.size() > 0) {
            char separator = '{';
            for (const auto& [label, v] : labels) {
                text_ += separator;
                text_ += label;
                text_ += "=\"";
                text_ += labelValue(v);
                text_ += '"';
                separator = ',';
            }
            text_ += '}';
        }
        text_ += ' ';
        text_ += value;
        text_ += '\n';
    }

    std::string take() { return std::move(text_); }

private:
    std::string text_;
    std::string_view name_;
};

} // namespace

std::string labelValue(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string metricsText(const MetricsSnapshot& snapshot) {
    std::vector<const Device*> devices;
    devices.reserve(snapshot.devices.size());
    for (const Device& d : snapshot.devices) {
        devices.push_back(&d);
    }
    std::sort(devices.begin(), devices.end(), [](const Device* a, const Device* b) {
        return std::tie(a->row.mac, a->adapter) < std::tie(b->row.mac, b->adapter);
    });
    std::vector<std::string> macs;
    macs.reserve(devices.size());
    for (const Device* d : devices) {
        macs.push_back(macLabel(d->row.mac));
    }

    Families f;
    f.family("fernwick_device_up", "gauge", "1 while the watch knows the device, 0 once it is gone.");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        f.sample({{"mac", macs[i]}, {"adapter", devices[i]->adapter}}, devices[i]->up ? "1" : "0");
    }
    f.family("fernwick_device_info", "gauge", "The device's fields as its last answer gave them.");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const DeviceRow& r = devices[i]->row;
        f.sample({{"mac", macs[i]},
                  {"name", deviceTextToUtf8(r.name)},
                  {"ip", r.ip.toString()},
                  {"essid", deviceTextToUtf8(r.essId)},
                  {"channel", std::to_string(r.channel)},
                  {"wep", r.wep ? "on" : "off"},
                  {"kind", r.kind == DeviceKind::AccessPoint ? "ap" : "adapter"},
                  {"vendor", devices[i]->vendor}},
                 "1");
    }
    f.family("fernwick_device_last_seen_timestamp_seconds", "gauge", "When the device last answered.");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        f.sample({{"mac", macs[i]}}, number(static_cast<double>(devices[i]->lastSeenMs) / 1000.0));
    }

    std::vector<MetricsSnapshot::Adapter> adapters = snapshot.adapters;
    std::sort(adapters.begin(), adapters.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    f.family("fernwick_devices", "gauge", "Devices known on the adapter.");
    for (const auto& a : adapters) {
        const auto n = std::count_if(devices.begin(), devices.end(),
                                     [&](const Device* d) { return d->up && d->adapter == a.name; });
        f.sample({{"adapter", a.name}}, std::to_string(n));
    }
    f.family("fernwick_search_success", "gauge",
             "1 when the last search ran on the adapter, 0 when it could not.");
    for (const auto& a : adapters) {
        f.sample({{"adapter", a.name}}, a.searched ? "1" : "0");
    }
    f.family("fernwick_search_duration_seconds", "gauge", "How long the last search took.");
    f.sample({}, number(snapshot.searchSeconds));
    f.family("fernwick_warnings", "gauge", "Warning conditions seen in the last search, by type.");
    for (const auto& [type, count] : snapshot.warnings) {
        f.sample({{"type", type}}, std::to_string(count));
    }
    f.family("fernwick_events_total", "counter", "Events the watch reported since it started.");
    for (const auto& [event, count] : snapshot.events) {
        f.sample({{"event", event}}, std::to_string(count));
    }
    f.family("fernwick_build_info", "gauge", "The program's version.");
    f.sample({{"version", snapshot.version}}, "1");
    return f.take();
}

} // namespace fw::cli
