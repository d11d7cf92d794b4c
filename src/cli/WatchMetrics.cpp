// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WatchMetrics.h"

#include "Version.h"
#include "cli/AdapterChoice.h"
#include "cli/WatchReport.h"
#include "platform/FileReplace.h"

#include <filesystem>
#include <set>
#include <tuple>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;

constexpr const char* kTextfileName = "fernwick.prom";

// Present from the start at 0, so that rate() and increase() see a series' first event; other
// kinds are counted by name when they first occur.
constexpr std::array kKnownEvents{"appeared", "changed", "gone", "new", "back", "adapter-changed"};
constexpr std::array kWarnings{"duplicate-ip", "foreign-subnet", "mac-on-two-adapters"};

std::int64_t unixMs(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// The conditions behind the warnings, as the search's rows show them now (the watch's warnings
// are said once while a condition lasts; a gauge must hold while it does).
std::map<std::string, std::size_t> conditions(const std::vector<DeviceRow>& rows, const AdapterTable& table,
                                              const std::function<bool(Ipv4)>& excused) {
    std::map<std::tuple<std::uint32_t, std::uint32_t>, std::set<MacAddress>> byAddress;
    std::map<MacAddress, std::set<std::uint32_t>> byMac;
    std::set<MacAddress> foreign;
    for (const DeviceRow& r : rows) {
        byAddress[{r.adapterIp.toHostOrder(), r.ip.toHostOrder()}].insert(r.mac);
        byMac[r.mac].insert(r.adapterIp.toHostOrder());
        if (!inAdapterSubnet(table, r.adapterIp, r.ip) && !excused(r.ip)) {
            foreign.insert(r.mac);
        }
    }
    std::map<std::string, std::size_t> found;
    for (const char* w : kWarnings) {
        found[w] = 0;
    }
    for (const auto& [address, macs] : byAddress) {
        found["duplicate-ip"] += macs.size() > 1 ? 1 : 0;
    }
    for (const auto& [mac, adapters] : byMac) {
        found["mac-on-two-adapters"] += adapters.size() > 1 ? 1 : 0;
    }
    found["foreign-subnet"] = foreign.size();
    return found;
}

// "127.0.0.1:9120", "[::1]:9120": the host as the socket wants it and the port.
std::optional<std::pair<std::string, int>> hostAndPort(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return std::nullopt;
    }
    std::string host = text.substr(0, colon);
    if (host.starts_with('[') && host.ends_with(']')) {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return std::nullopt; // IPv6 needs its brackets
    }
    const auto port = numberIn<int>(text.substr(colon + 1));
    if (host.empty() || !port || *port < 1 || *port > 65535) {
        return std::nullopt;
    }
    return std::pair{host, *port};
}

} // namespace

std::optional<ParsedCommandLine> metricsOptions(const Options& o, WatchCommand& c) {
    if (o.isSet("metrics-listen")) {
        const std::string text = o.value("metrics-listen");
        const auto parsed = hostAndPort(text);
        if (!parsed) {
            return o.failure("--metrics-listen: " + quoted(text) +
                             " is not ADDR:PORT (an address of this machine and a port from 1 to 65535)");
        }
        c.metricsHost = parsed->first;
        c.metricsPort = parsed->second;
    }
    if (o.isSet("textfile")) {
        c.textfile = o.value("textfile");
        if (c.textfile.empty()) {
            return o.failure("--textfile: the folder name is empty");
        }
    }
    return std::nullopt;
}

Result<std::unique_ptr<WatchMetrics>, std::string> WatchMetrics::open(const WatchCommand& command) {
    auto metrics = std::make_unique<WatchMetrics>(command.textfile);
    if (command.metricsPort != 0) {
        auto server = MetricsServer::start(command.metricsHost, command.metricsPort);
        if (!server) {
            return Failure{server.error()};
        }
        metrics->server_ = std::move(*server);
    }
    if (!command.textfile.empty()) {
        if (const auto ok = files::canCreateIn(command.textfile); !ok) {
            return Failure{"--textfile: cannot write in " + command.textfile + ": " + ok.error().message()};
        }
    }
    metrics->snapshot_.version = FERNWICK_VERSION;
    for (const char* e : kKnownEvents) {
        metrics->snapshot_.events[e] = 0;
    }
    for (const char* w : kWarnings) {
        metrics->snapshot_.warnings[w] = 0;
    }
    metrics->publish(); // a scrape before the first search sees the build and no devices
    return metrics;
}

std::optional<std::string>
WatchMetrics::searched(const std::vector<DeviceRow>& known, const SearchSummary& summary,
                       const AdapterTable& table, const AdapterTable& named, const std::vector<Event>& events,
                       std::chrono::duration<double> took, std::chrono::system_clock::time_point now,
                       const std::function<bool(Ipv4)>& excused, const VendorTable& vendors) {
    for (auto& [mac, d] : devices_) {
        d.up = false;
    }
    for (const DeviceRow& r : known) {
        auto& d = devices_[r.mac];
        d.row = r;
        d.adapter = adapterName(named, r.adapterIp);
        d.vendor = vendors.vendorOf(r.mac);
        d.up = true;
    }
    const auto at = unixMs(now);
    for (const DeviceRow& r : summary.rows) {
        if (const auto it = devices_.find(r.mac); it != devices_.end()) {
            it->second.lastSeenMs = at;
        }
    }
    snapshot_.devices.clear();
    for (const auto& [mac, d] : devices_) {
        snapshot_.devices.push_back(d);
    }

    std::set<std::string> unbindable;
    for (const auto& failure : summary.started.unbindable) {
        unbindable.insert(failure.adapter.interfaceName);
    }
    // The adapters of this search only: one removed since is neither searched nor failing.
    std::map<std::string, bool> adapters;
    for (const AdapterEntry& e : table) {
        adapters[e.interfaceName] = !unbindable.contains(e.interfaceName);
    }
    snapshot_.adapters.clear();
    for (const auto& [name, searched] : adapters) {
        snapshot_.adapters.push_back({name, searched});
    }

    snapshot_.searchSeconds = took.count();
    snapshot_.warnings = conditions(summary.rows, table, excused);
    for (const Event& e : events) {
        ++snapshot_.events[eventName(e.kind)]; // as the JSON lines name it
    }
    return publish();
}

std::optional<std::string> WatchMetrics::unsearched() {
    for (auto& a : snapshot_.adapters) {
        a.searched = false;
    }
    return publish();
}

std::optional<std::string> WatchMetrics::publish() {
    auto text = std::make_shared<const std::string>(metricsText(snapshot_));
    if (server_) {
        server_->publish(text);
    }
    if (textfileDir_.empty()) {
        return std::nullopt;
    }
    const auto written = files::replaceFile(std::filesystem::path(textfileDir_) / kTextfileName, *text);
    std::string failure = written ? std::string() : written.error().message();
    if (failure == lastFailure_) {
        return std::nullopt; // said once while it lasts
    }
    lastFailure_ = failure;
    if (failure.empty()) {
        return "--textfile: " + textfileDir_ + "/" + kTextfileName + " written again";
    }
    return "--textfile: cannot write " + textfileDir_ + "/" + kTextfileName + ": " + failure +
           "; trying again";
}

} // namespace fw::cli
