// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RowOrder.h"

#include "discovery/DeviceCells.h"

#include <algorithm>
#include <numeric>

namespace fw {

namespace {

constexpr int kIpColumn = 1;
constexpr int kChannelColumn = 3;
constexpr int kMacColumn = 5;

char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool textLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(folded(x)) < static_cast<unsigned char>(folded(y));
    });
}

} // namespace

bool RowOrder::keyLess(const DeviceRow& a, const DeviceRow& b, int column) {
    switch (column) {
    case kIpColumn:
        return a.ip.toHostOrder() < b.ip.toHostOrder();
    case kChannelColumn:
        return a.channel < b.channel;
    case kMacColumn:
        return a.mac < b.mac;
    default:
        return textLess(deviceCellText(a, column), deviceCellText(b, column));
    }
}

// Reversing turns the key around, not the ties, and a row without an address stays at the end.
bool RowOrder::before(const DeviceRow& a, Arrival aArrival, const DeviceRow& b, Arrival bArrival) const {
    const Sorting s = sorting_.value_or(Sorting{});
    if (sorting_) {
        if (s.column == kIpColumn && (a.ip == Ipv4::any()) != (b.ip == Ipv4::any())) {
            return b.ip == Ipv4::any();
        }
        if (keyLess(a, b, s.column)) {
            return s.ascending;
        }
        if (keyLess(b, a, s.column)) {
            return !s.ascending;
        }
    }
    return aArrival < bArrival;
}

void RowOrder::chooseColumn(int column) {
    if (sorting_ && sorting_->column == column) {
        sorting_->ascending = !sorting_->ascending;
    } else {
        sorting_ = Sorting{column, true};
    }
}

std::vector<int> RowOrder::sort(const DeviceRows& rows) {
    std::vector<int> order(static_cast<std::size_t>(rows.count()));
    std::iota(order.begin(), order.end(), 0);
    arrivals_.resize(order.size()); // a list filled before this order knew it keeps its listed order
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const auto ia = static_cast<std::size_t>(a);
        const auto ib = static_cast<std::size_t>(b);
        return before(rows.rowAt(a), arrivals_[ia], rows.rowAt(b), arrivals_[ib]);
    });
    std::vector<Arrival> arrivals(order.size());
    std::transform(order.begin(), order.end(), arrivals.begin(),
                   [&](int i) { return arrivals_[static_cast<std::size_t>(i)]; });
    arrivals_ = std::move(arrivals);
    return order;
}

int RowOrder::place(const DeviceRows& rows, const DeviceRow& arriving) {
    const Arrival arrival = next_++;
    std::size_t lo = 0;
    std::size_t hi = std::min(static_cast<std::size_t>(rows.count()), arrivals_.size());
    if (!sorting_) {
        lo = hi = arrivals_.size(); // arrival order: at the end, also within a batch not yet listed
    }
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (before(arriving, arrival, rows.rowAt(static_cast<int>(mid)), arrivals_[mid])) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    arrivals_.insert(arrivals_.begin() + static_cast<std::ptrdiff_t>(lo), arrival);
    return static_cast<int>(lo);
}

void RowOrder::remove(int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < arrivals_.size()) {
        arrivals_.erase(arrivals_.begin() + row);
    }
}

int RowOrder::rowOf(Arrival arrival) const {
    const auto at = std::find(arrivals_.begin(), arrivals_.end(), arrival);
    return at == arrivals_.end() ? -1 : static_cast<int>(at - arrivals_.begin());
}

int RowOrder::latestRow() const {
    const auto at = std::max_element(arrivals_.begin(), arrivals_.end());
    return at == arrivals_.end() ? -1 : static_cast<int>(at - arrivals_.begin());
}

} // namespace fw
