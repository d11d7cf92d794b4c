// SPDX-License-Identifier: GPL-3.0-or-later
// An inventory of 10,000 devices: a search merged in, saved (written whole, flushed, renamed) and
// read back, each the median of 9 runs, in a scratch folder under /tmp: the process's CPU time,
// and the wall time (which a busy machine stretches). Goal: load and save each under 100 ms.
#include "BenchClock.h"
#include "cli/InventoryFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

using fw::KnownDevices;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    constexpr int kDevices = 10000;
    constexpr int kRuns = 9;
    const auto dir =
        std::filesystem::temp_directory_path() / ("fw-inventory-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "inventory.json").string();
    const fw::AdapterTable adapters{
        {fw::Ipv4::parse("10.0.0.1").value(), fw::Ipv4::parse("255.255.0.0").value(), {}, {}, "eth0", 2}};
    std::vector<fw::DeviceRow> rows;
    for (int i = 0; i < kDevices; ++i) {
        const auto hi = static_cast<std::uint8_t>(i >> 8);
        const auto lo = static_cast<std::uint8_t>(i);
        fw::DeviceRow row;
        row.name = "AP-" + std::to_string(i);
        row.ip =
            fw::Ipv4::parse("10.0." + std::to_string(hi) + "." + std::to_string(lo)).value_or(fw::Ipv4{});
        row.essId = "site-net";
        row.channel = 6;
        row.mac = {0x00, 0x0A, 0x1B, 0x00, hi, lo};
        row.kind = fw::DeviceKind::AccessPoint;
        row.adapterIp = *adapters[0].ip;
        rows.push_back(row);
    }
    auto file = fw::cli::InventoryFile::openForWriting(path, "bench_inventory");
    if (!file) {
        std::fprintf(stderr, "%s\n", file.error().c_str());
        return 1;
    }
    const double wallStart = fw::bench::monotonicSeconds();
    const double cpuStart = fw::bench::processCpuSeconds();
    std::vector<double> merge;
    std::vector<double> save;
    std::vector<double> load;
    for (int run = 0; run < kRuns; ++run) {
        double t = fw::bench::processCpuSeconds();
        file->devices().seen(rows, adapters, KnownDevices::Time(std::chrono::seconds(1'800'000'000 + run)));
        merge.push_back(fw::bench::processCpuSeconds() - t);
        t = fw::bench::processCpuSeconds();
        if (!file->save()) {
            return 1;
        }
        save.push_back(fw::bench::processCpuSeconds() - t);
        t = fw::bench::processCpuSeconds();
        const auto read = fw::cli::InventoryFile::read(path);
        load.push_back(fw::bench::processCpuSeconds() - t);
        if (!read || read->devices().size() != kDevices) {
            return 1;
        }
    }
    const double stretch =
        (fw::bench::monotonicSeconds() - wallStart) / (fw::bench::processCpuSeconds() - cpuStart);
    std::printf("inventory of %d devices (%.1f MB), CPU time, median of %d (wall time was %.1f x that):\n",
                kDevices, static_cast<double>(std::filesystem::file_size(path)) / 1e6, kRuns, stretch);
    std::printf("  merge a search  %7.1f ms\n  save            %7.1f ms\n  load            %7.1f ms\n",
                median(merge) * 1000, median(save) * 1000, median(load) * 1000);
    std::filesystem::remove_all(dir);
    return 0;
}
