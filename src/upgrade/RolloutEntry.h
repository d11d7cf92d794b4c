// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "upgrade/TftpUpload.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// How one device of a rollout ended. Refused: the device answered the write request with a TFTP
// ERROR before acknowledging it; DeviceError: an ERROR (or a packet with no place in an upload)
// after that. NotBack: the image went through but the device did not answer a search again in time.
// NotFound: no search listed it. Skipped: the image lacks the marker of the device's kind and
// --yes was not given, so nothing was sent to it. NotRestarted: the image went through but the
// device answered throughout the back timeout, never silent: it did not restart. NotSent: the
// upload could not start here (local port 14321 unusable, or the rollout stopped first).
// Pending: a dry run would upload to it.
enum class RolloutState {
    Done,
    Refused,
    DeviceError,
    TimedOut,
    NotBack,
    NotFound,
    Skipped,
    NotRestarted,
    NotSent,
    Pending
};

// "done", "refused", "device-error", "timed-out", "not-back", "not-found", "skipped",
// "not-restarted", "not-sent", "pending"
std::string_view rolloutStateName(RolloutState state);
std::optional<RolloutState> rolloutStateNamed(std::string_view name);

// The state an ended upload leaves; none for a completed one, which is done only once the device
// answers again.
std::optional<RolloutState> rolloutStateOf(TftpUpload::Outcome outcome, const TftpUpload::Counters& counters);

// One line of a rollout's report.
struct RolloutEntry {
    std::string target; // as the operator named it: an address, a MAC, or a searched device's MAC
    std::optional<MacAddress> mac;
    std::optional<Ipv4> ip;
    std::string name;    // 8-bit text from the device
    std::string adapter; // interface name
    RolloutState state = RolloutState::NotFound;
    std::string detail; // the device's error, or why nothing was sent
    std::uint64_t bytes = 0;
    double uploadSeconds = 0; // handshake to the upload's end (the 13 s start sequence included)
    double backSeconds = 0;   // the upload's end to the device's answer
    int retransmissions = 0;
    int timeouts = 0;
    bool earlier = false; // done in an earlier run, carried over from --skip-done
};

} // namespace fw
