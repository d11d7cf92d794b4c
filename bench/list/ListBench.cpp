// SPDX-License-Identifier: GPL-3.0-or-later
// The window's File -> Export List... for 10,000 rows (text and file), and vendor lookups for 10,000
// MACs in this system's registries. Prints "key value" lines, times in milliseconds: the best of
// five rounds, since other programs on the machine only ever add to a round.

#include "BenchClock.h"
#include "app/ListExport.h"
#include "platform/FileReplace.h"
#include "platform/SystemHost.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using fw::bench::monotonicSeconds;

constexpr int kRows = 10'000;
constexpr int kRounds = 5;

struct Rows final : fw::DeviceRows {
    void appendRows(std::vector<fw::DeviceRow> r) override { rows.insert(rows.end(), r.begin(), r.end()); }
    void removeDeviceRow(int row) override { rows.erase(rows.begin() + row); }
    void insertRow(int at, fw::DeviceRow row) override { rows.insert(rows.begin() + at, std::move(row)); }
    void reorder(const std::vector<int>& order) override {
        std::vector<fw::DeviceRow> sorted;
        for (const int i : order) {
            sorted.push_back(rows.at(static_cast<std::size_t>(i)));
        }
        rows = std::move(sorted);
    }
    void clear() override { rows.clear(); }
    const fw::DeviceRow& rowAt(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
    int count() const override { return static_cast<int>(rows.size()); }
    std::vector<fw::DeviceRow> rows;
};

double bestMs(const std::function<void()>& work) {
    double best = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        const double start = monotonicSeconds();
        work();
        best = std::min(best, (monotonicSeconds() - start) * 1000);
    }
    return best;
}

} // namespace

int main() {
    fw::SystemHost host;
    const double loadStart = monotonicSeconds();
    const fw::VendorTable vendors = host.vendorTable();
    std::printf("vendor_table_load_ms %.2f\n", (monotonicSeconds() - loadStart) * 1000);
    std::printf("vendor_table_assignments %zu\n", vendors.size());

    // MACs of real makers (Stream Labs' block) and random ones, about a quarter locally administered.
    std::mt19937 random(4001);
    Rows list;
    for (int i = 0; i < kRows; ++i) {
        fw::MacAddress mac{};
        for (auto& b : mac) {
            b = static_cast<std::uint8_t>(random());
        }
        if (i % 2 == 0) {
            mac[0] = 0x00, mac[1] = 0x0A, mac[2] = 0x1B;
        }
        const auto ip = fw::Ipv4::fromHostOrder(0x0A4D0000U + static_cast<std::uint32_t>(i));
        list.rows.push_back({"Device " + std::to_string(i), ip, "office-net", 6, i % 3 == 0, mac,
                             i % 2 ? fw::DeviceKind::AccessPoint : fw::DeviceKind::Bridge,
                             fw::Ipv4::parse("10.77.0.1").value()});
    }
    const fw::AdapterTable adapters{
        {fw::Ipv4::parse("10.77.0.1"), fw::Ipv4::parse("255.255.0.0"), {}, {}, "eth0", 2}};

    std::size_t named = 0;
    std::printf("vendor_lookup_10000_ms %.3f\n", bestMs([&] {
                    named = 0;
                    for (const auto& r : list.rows) {
                        named += vendors.vendorOf(r.mac).empty() ? 0 : 1;
                    }
                }));
    std::printf("vendor_lookup_named %zu\n", named);

    using Format = fw::ListExport::Format;
    std::string csv;
    std::string json;
    std::printf("export_csv_text_ms %.2f\n",
                bestMs([&] { csv = fw::ListExport::text(list, adapters, vendors, Format::Csv); }));
    std::printf("export_json_text_ms %.2f\n",
                bestMs([&] { json = fw::ListExport::text(list, adapters, vendors, Format::Json); }));
    const auto folder = std::filesystem::temp_directory_path();
    const auto path = folder / ("fernwick-bench-" + std::to_string(::getpid()) + ".csv");
    std::printf("export_csv_file_ms %.2f\n", bestMs([&] {
                    (void)fw::files::replaceFile(path,
                                                 fw::ListExport::text(list, adapters, vendors, Format::Csv));
                }));
    std::printf("export_json_file_ms %.2f\n", bestMs([&] {
                    (void)fw::files::replaceFile(path,
                                                 fw::ListExport::text(list, adapters, vendors, Format::Json));
                }));
    std::filesystem::remove(path);
    std::printf("export_csv_bytes %zu\nexport_json_bytes %zu\n", csv.size(), json.size());
    return 0;
}
