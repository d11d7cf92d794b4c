// SPDX-License-Identifier: GPL-3.0-or-later
// Sorts 10,000 rows by each column and back, and places 10,000 rows arriving in batches of 100 into
// a list sorted by address, with the window's own order over a plain list. Prints the slowest of
// each in milliseconds (goal: under 50 ms).

#include "../BenchClock.h"
#include "app/RowOrder.h"
#include "support/CoreFakes.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int kRows = 10'000;

std::vector<fw::DeviceRow> randomRows() {
    std::mt19937 random(38);
    std::vector<fw::DeviceRow> rows(kRows);
    for (auto& row : rows) {
        const auto word = random();
        row.name = "AP-" + std::to_string(word % 100'000);
        row.ip = fw::Ipv4::fromHostOrder(0x0a000000U | (word & 0xffffffU));
        row.essId = (word & 1) != 0 ? "Office" : "office-" + std::to_string(word % 37);
        row.channel = static_cast<std::uint8_t>(1 + word % 13);
        row.wep = (word & 2) != 0;
        for (auto& byte : row.mac) {
            byte = static_cast<std::uint8_t>(random());
        }
    }
    return rows;
}

double milliseconds(double since) {
    return (fw::bench::monotonicSeconds() - since) * 1000.0;
}

} // namespace

int main() {
    const std::vector<fw::DeviceRow> source = randomRows();
    fw::test::ListRows list;
    fw::RowOrder order;
    list.rows = source;
    order.arrive(list, source.size());
    double slowestSort = 0;
    for (int column = 0; column < 6; ++column) {
        for (int click = 0; click < 2; ++click) { // the second click reverses
            order.chooseColumn(column);
            const double start = fw::bench::monotonicSeconds();
            list.reorder(order.sort(list));
            const double took = milliseconds(start);
            slowestSort = std::max(slowestSort, took);
            std::printf("sort 10,000 rows by column %d %s: %.2f ms\n", column, click == 0 ? "up" : "down",
                        took);
        }
    }

    fw::test::ListRows arrived;
    fw::RowOrder sorted;
    sorted.chooseColumn(1);
    const double start = fw::bench::monotonicSeconds();
    double slowestBatch = 0;
    for (std::size_t at = 0; at < source.size(); at += 100) {
        const double batchStart = fw::bench::monotonicSeconds();
        arrived.appendRows({source.begin() + static_cast<std::ptrdiff_t>(at),
                            source.begin() + static_cast<std::ptrdiff_t>(at + 100)});
        arrived.reorder(sorted.arrive(arrived, 100));
        slowestBatch = std::max(slowestBatch, milliseconds(batchStart));
    }
    const double placing = milliseconds(start);

    // The first 1,000 rows, in batches of 100, into an unsorted list (appended) and a sorted one.
    double thousand[2]{};
    for (int sortedRun = 0; sortedRun < 2; ++sortedRun) {
        fw::test::ListRows small;
        fw::RowOrder smallOrder;
        if (sortedRun == 1) {
            smallOrder.chooseColumn(1);
        }
        const double smallStart = fw::bench::monotonicSeconds();
        for (std::size_t at = 0; at < 1000; at += 100) {
            std::vector<fw::DeviceRow> batch(source.begin() + static_cast<std::ptrdiff_t>(at),
                                             source.begin() + static_cast<std::ptrdiff_t>(at + 100));
            small.appendRows(std::move(batch));
            if (const std::vector<int> moved = smallOrder.arrive(small, 100); !moved.empty()) {
                small.reorder(moved);
            }
        }
        thousand[sortedRun] = milliseconds(smallStart);
    }
    std::printf("slowest sort or re-sort of 10,000 rows: %.2f ms\n", slowestSort);
    std::printf(
        "10,000 rows arriving sorted by address, 100 a batch: %.2f ms in all, slowest batch %.2f ms\n",
        placing, slowestBatch);
    std::printf("1,000 rows arriving, 100 a batch: unsorted %.2f ms, sorted by address %.2f ms\n",
                thousand[0], thousand[1]);
    return std::is_sorted(
               arrived.rows.begin(), arrived.rows.end(),
               [](const auto& a, const auto& b) { return a.ip.toHostOrder() < b.ip.toHostOrder(); })
               ? 0
               : 1;
}
