// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the cores' narrow interfaces (the TFTP upload's is VirtualLink, with its clock).

#include "common/JobPort.h"
#include "discovery/DeviceRows.h"

#include <vector>

namespace fw::test {

// A window's engine job: the requests it was given; its answers are called by hand, and still reach
// the logic after cancel(), whose own guards are then what is tested.
template <class Job> struct FakeJob final : JobPort<Job> {
    void start(typename Job::Request request, typename JobPort<Job>::Handlers h) override {
        requests.push_back(std::move(request));
        handlers = std::move(h);
    }
    void cancel() override { ++cancels; }
    void command(typename Job::Command c) override { commands.push_back(std::move(c)); }

    std::vector<typename Job::Request> requests;
    typename JobPort<Job>::Handlers handlers;
    std::vector<typename Job::Command> commands;
    int cancels = 0;
};

// The device list as a plain vector.
struct ListRows final : DeviceRows {
    void appendRows(std::vector<DeviceRow> r) override { rows.insert(rows.end(), r.begin(), r.end()); }
    void removeDeviceRow(int row) override { rows.erase(rows.begin() + row); }
    void clear() override { rows.clear(); }
    void insertRow(int at, DeviceRow r) override { rows.insert(rows.begin() + at, std::move(r)); }
    void reorder(const std::vector<int>& order) override {
        std::vector<DeviceRow> moved;
        for (const int i : order) {
            moved.push_back(rows.at(static_cast<std::size_t>(i)));
        }
        rows = std::move(moved);
    }
    const DeviceRow& rowAt(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
    int count() const override { return static_cast<int>(rows.size()); }
    std::vector<DeviceRow> rows;
};

} // namespace fw::test
