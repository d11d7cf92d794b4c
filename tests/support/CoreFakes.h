// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the cores' narrow interfaces (the TFTP upload's is VirtualLink, with its clock).

#include "discovery/core/DiscoverySearch.h"

#include <vector>

namespace fw::test {

struct RecordingRows final : DiscoverySearch::Listener {
    void rowListed(const DeviceRow& row) override { rows.push_back(row); }
    std::vector<DeviceRow> rows;
};

} // namespace fw::test
