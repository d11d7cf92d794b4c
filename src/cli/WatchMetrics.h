// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/MetricsServer.h"
#include "cli/MetricsText.h"
#include "common/VendorTable.h"
#include "discovery/DeviceInventory.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fw::cli {

// watch's metrics: what it knows, kept across searches (devices by MAC, gone ones at 0, event
// counts), turned into the text after each completed search and published to the HTTP server
// (--metrics-listen) and the textfile (--textfile).
class WatchMetrics {
public:
    // Starts the server when the command asks for one; the reason when it cannot.
    static Result<std::unique_ptr<WatchMetrics>, std::string> open(const WatchCommand& command);

    explicit WatchMetrics(std::string textfileDir = {}) : textfileDir_(std::move(textfileDir)) {}

    // One completed search: the watch's known devices after it, the search's rows and adapters
    // (named: this search's and earlier ones'), its events, how long it took; `excused` tells a
    // foreign-subnet address the watch does not warn of (a target's); `vendors` names the devices'
    // makers. Returns a failure to write the textfile, once per kind of failure.
    std::optional<std::string> searched(const std::vector<DeviceRow>& known, const SearchSummary& summary,
                                        const AdapterTable& table, const AdapterTable& named,
                                        const std::vector<DeviceInventory::Event>& events,
                                        std::chrono::duration<double> took,
                                        std::chrono::system_clock::time_point now,
                                        const std::function<bool(Ipv4)>& excused, const VendorTable& vendors);
    // No adapter was usable this time: every adapter known so far could not search.
    std::optional<std::string> unsearched();

    const MetricsSnapshot& snapshot() const { return snapshot_; }

private:
    std::optional<std::string> publish();

    std::string textfileDir_;
    std::unique_ptr<MetricsServer> server_;
    MetricsSnapshot snapshot_;
    std::map<MacAddress, MetricsSnapshot::Device> devices_;
    std::string lastFailure_;
};

// --metrics-listen ADDR:PORT and --textfile DIR, for watch's table and parser.
inline constexpr OptionRow kMetricsListen{
    "--metrics-listen", "ADDR:PORT",
    "serve Prometheus metrics at http://ADDR:PORT/metrics (ADDR an address\n"
    "of this machine, e.g. 127.0.0.1; [::1]:PORT for IPv6)"};
inline constexpr OptionRow kTextfile{"--textfile", "DIR",
                                     "write the metrics to DIR/fernwick.prom after each search, for\n"
                                     "node_exporter's textfile collector"};
std::optional<ParsedCommandLine> metricsOptions(const Options& options, WatchCommand& command);

} // namespace fw::cli
