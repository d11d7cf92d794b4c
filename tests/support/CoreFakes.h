// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the cores' narrow interfaces (the TFTP upload's is VirtualLink, with its clock).

#include "discovery/DeviceRows.h"
#include "discovery/DiscoverySearch.h"

#include <vector>

namespace fw::test {

struct RecordingRows final : DiscoverySearch::Listener {
    void rowListed(const DeviceRow& row) override { rows.push_back(row); }
    std::vector<DeviceRow> rows;
};

// The device list as a plain vector.
struct ListRows final : DeviceRows {
    void appendRows(std::vector<DeviceRow> r) override { rows.insert(rows.end(), r.begin(), r.end()); }
    void removeDeviceRow(int row) override { rows.erase(rows.begin() + row); }
    void clear() override { rows.clear(); }
    const DeviceRow& rowAt(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
    int count() const override { return static_cast<int>(rows.size()); }
    std::vector<DeviceRow> rows;
};

} // namespace fw::test
