// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRow.h"

#include <vector>

namespace fw {

// The main window's device list as its logic sees it: the rows in listed order. Each toolkit's
// list keeps them and redraws itself when they change.
class DeviceRows {
public:
    // One insertion for many rows: the list lays itself out once, not once per row.
    virtual void appendRows(std::vector<DeviceRow> rows) = 0;
    virtual void removeDeviceRow(int row) = 0;
    // The sorted list: one row at its place, and all rows moved (row i becomes the old row order[i]).
    virtual void insertRow(int at, DeviceRow row) = 0;
    virtual void reorder(const std::vector<int>& order) = 0;
    virtual void clear() = 0;
    virtual const DeviceRow& rowAt(int row) const = 0;
    virtual int count() const = 0;
    bool isEmpty() const { return count() == 0; }

protected:
    ~DeviceRows() = default;
};

} // namespace fw
