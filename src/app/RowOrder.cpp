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

std::uint64_t macNumber(const MacAddress& mac) {
    std::uint64_t number = 0;
    for (const std::uint8_t byte : mac) {
        number = number << 8U | byte;
    }
    return number;
}

} // namespace

RowOrder::RowOrder() : cellText_(&deviceCellText) {}

RowOrder::Key RowOrder::keyOf(const DeviceRow& row) const {
    const int column = sorting_ ? sorting_->column : 0;
    switch (column) {
    case kIpColumn:
        return {row.ip == Ipv4::any(), row.ip.toHostOrder(), {}};
    case kChannelColumn:
        return {false, row.channel, {}};
    case kMacColumn:
        return {false, macNumber(row.mac), {}};
    default: {
        std::string text = cellText_(row, column);
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return {false, 0, std::move(text)};
    }
    }
}

// Reversing turns the key around, not the ties, and a row without an address stays at the end.
bool RowOrder::before(const Key& a, Arrival aArrival, const Key& b, Arrival bArrival) const {
    if (sorting_) {
        if (a.last != b.last) {
            return b.last;
        }
        const bool up = sorting_->ascending;
        if (a.number != b.number) {
            return (a.number < b.number) == up;
        }
        if (const int text = a.text.compare(b.text); text != 0) {
            return (text < 0) == up;
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
    std::vector<Key> keys;
    keys.reserve(order.size());
    for (const int row : order) {
        keys.push_back(keyOf(rows.rowAt(row)));
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const auto ia = static_cast<std::size_t>(a);
        const auto ib = static_cast<std::size_t>(b);
        return before(keys[ia], arrivals_[ia], keys[ib], arrivals_[ib]);
    });
    std::vector<Arrival> arrivals(order.size());
    std::transform(order.begin(), order.end(), arrivals.begin(),
                   [&](int i) { return arrivals_[static_cast<std::size_t>(i)]; });
    arrivals_ = std::move(arrivals);
    return order;
}

std::vector<int> RowOrder::arrive(const DeviceRows& rows, std::size_t count) {
    const std::size_t listed = static_cast<std::size_t>(rows.count()) - count;
    arrivals_.resize(listed); // a list filled before this order knew it keeps its listed order
    std::vector<Key> keys;    // the arriving rows', by their index less `listed`
    keys.reserve(count);
    std::vector<std::size_t> arriving(count);
    for (std::size_t i = 0; i < count; ++i) {
        arrivals_.push_back(next_++);
        arriving[i] = listed + i;
        if (sorting_) {
            keys.push_back(keyOf(rows.rowAt(static_cast<int>(listed + i))));
        }
    }
    if (!sorting_ || count == 0) {
        return {};
    }
    const auto goesBefore = [&](std::size_t a, const Key& bKey, std::size_t b) {
        return before(keys[a - listed], arrivals_[a], bKey, arrivals_[b]);
    };
    std::sort(arriving.begin(), arriving.end(),
              [&](std::size_t a, std::size_t b) { return goesBefore(a, keys[b - listed], b); });
    std::vector<int> order;
    order.reserve(listed + count);
    std::size_t kept = 0; // the listed rows already placed
    for (const std::size_t a : arriving) {
        std::size_t lo = kept;
        std::size_t hi = listed;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (goesBefore(a, keyOf(rows.rowAt(static_cast<int>(mid))), mid)) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        for (; kept < lo; ++kept) {
            order.push_back(static_cast<int>(kept));
        }
        order.push_back(static_cast<int>(a));
    }
    for (; kept < listed; ++kept) {
        order.push_back(static_cast<int>(kept));
    }
    std::vector<Arrival> arrivals(order.size());
    std::transform(order.begin(), order.end(), arrivals.begin(),
                   [&](int i) { return arrivals_[static_cast<std::size_t>(i)]; });
    arrivals_ = std::move(arrivals);
    return order;
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
