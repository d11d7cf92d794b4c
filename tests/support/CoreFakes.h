// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the cores' narrow interfaces (the TFTP upload's is VirtualLink, with its clock).

#include "discovery/core/DiscoverySearch.h"
#include "setip/core/SetIpExchange.h"

#include <vector>

namespace fw::test {

struct RecordingSetIpIo final : SetIpExchange::Io {
    void send(std::span<const std::uint8_t> r) override { sent.emplace_back(r.begin(), r.end()); }
    void answered(const SetIpAnswer& a) override {
        answers.push_back(a);
        sentWhenAnswered = sent.size();
    }
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<SetIpAnswer> answers;
    std::size_t sentWhenAnswered = 0;
};

struct RecordingRows final : DiscoverySearch::Listener {
    void rowListed(const DeviceRow& row) override { rows.push_back(row); }
    std::vector<DeviceRow> rows;
};

} // namespace fw::test
