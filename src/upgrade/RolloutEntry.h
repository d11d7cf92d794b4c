// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/FleetEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "upgrade/TftpUpload.h"

#include <cstdint>
#include <optional>
#include <string>

namespace fw {

// How a device of a rollout ended: done, refused, device-error, timed-out, not-back, not-found,
// skipped, not-restarted, not-sent or pending.
using RolloutState = FleetState;

// The state an ended upload leaves; none for a completed one, which is done only once the device
// answers again.
std::optional<RolloutState> rolloutStateOf(TftpUpload::Outcome outcome, const TftpUpload::Counters& counters);

// One line of a rollout's report.
struct RolloutEntry : FleetEntry {
    std::string target; // as the operator named it: an address, a MAC, or a searched device's MAC
    std::optional<MacAddress> mac;
    std::uint64_t bytes = 0;
    double uploadSeconds = 0; // handshake to the upload's end (the 13 s start sequence included)
    double backSeconds = 0;   // the upload's end to the device's answer
    int retransmissions = 0;
    int timeouts = 0;
};

} // namespace fw
