// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRows.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fw {

// The device list's order: arrival order until a column is chosen, then that column's order with
// ties in arrival order. It keeps each listed row's arrival number, in listed order, so that a row
// (the picked one) can be found again after the list moves. IP addresses compare as numbers with
// 0.0.0.0 (no address) last either way, MACs by their bytes, the channel as a number; the other
// columns compare their cell text without regard to ASCII case.
class RowOrder {
public:
    using Arrival = std::uint64_t;
    // A cell's text as the list shows it (deviceCellText, and the window's own columns beyond).
    using CellText = std::function<std::string(const DeviceRow& row, int column)>;

    RowOrder();
    explicit RowOrder(CellText cellText) : cellText_(std::move(cellText)) {}

    struct Sorting {
        int column = 0;
        bool ascending = true;
    };

    const std::optional<Sorting>& sorting() const { return sorting_; }
    // A click on a column's header: that column ascending, or the other way on its second click.
    void chooseColumn(int column);
    // Back to arrival order (sort() then gives the permutation to it).
    void unsort() { sorting_.reset(); }
    // The permutation that puts `rows` (listed in this order's current order) in the chosen order:
    // the new list's i-th row is rows[result[i]]. The arrival numbers follow.
    std::vector<int> sort(const DeviceRows& rows);

    // The last `count` of `rows` have just arrived, appended after rows listed in this order. They are
    // recorded as the latest arrivals; sorted, the result is the permutation (as sort()'s) that puts
    // each at its place, found by binary search; in arrival order it is empty (nothing moves).
    std::vector<int> arrive(const DeviceRows& rows, std::size_t count);
    void remove(int row);
    void clear() { arrivals_.clear(); }

    Arrival arrivalAt(int row) const { return arrivals_.at(static_cast<std::size_t>(row)); }
    int rowOf(Arrival arrival) const; // -1 when no longer listed
    int latestRow() const;            // the row that arrived last, -1 for none

private:
    // A row's value in the chosen column, made once per row rather than once per comparison.
    struct Key {
        bool last = false; // no address: at the end either way
        std::uint64_t number = 0;
        std::string text; // ASCII lower case
    };
    Key keyOf(const DeviceRow& row) const;
    bool before(const Key& a, Arrival aArrival, const Key& b, Arrival bArrival) const;

    CellText cellText_;
    std::optional<Sorting> sorting_;
    std::vector<Arrival> arrivals_; // in listed order
    Arrival next_ = 0;
};

} // namespace fw
