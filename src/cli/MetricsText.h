// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRow.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fw::cli {

// What `watch` knows after its last completed search, as the metrics show it.
struct MetricsSnapshot {
    struct Device {
        DeviceRow row;
        std::string adapter;         // the interface name it answered on
        std::string vendor;          // as search shows it; empty when no registry names one
        bool up = false;             // the watch knows it now (not gone)
        std::int64_t lastSeenMs = 0; // its last answer, milliseconds since the Unix epoch
    };
    struct Adapter {
        std::string name;
        bool searched = true; // false: its socket could not search (port 4001 held elsewhere)
    };
    std::vector<Device> devices; // rendered in MAC order
    std::vector<Adapter> adapters;
    double searchSeconds = 0;
    std::map<std::string, std::size_t> warnings; // by type: conditions seen in the last search
    std::map<std::string, std::uint64_t> events; // by event name, since the watch started
    std::string version;
};

// The snapshot in Prometheus's text exposition format 0.0.4: each family with its HELP and TYPE,
// series in a fixed order (families as listed, then by MAC, adapter or name), so two renderings
// of one state are the same bytes.
std::string metricsText(const MetricsSnapshot& snapshot);

// A label value as the format wants it between its quotes: \\, \" and \n escaped. The text is
// UTF-8 already.
std::string labelValue(std::string_view utf8);

} // namespace fw::cli
