// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

#include <optional>
#include <string>
#include <string_view>

namespace fw {

// How one device of a command over many devices (a Set IP plan, a rollout) ended.
// Both: Done: it took the change (a plan, verified: answers from the planned address, alone; a
// rollout: it restarted and answered again). NotFound: no search listed it. Refused: it turned the
// request down (a rollout: a TFTP ERROR before the write request was acknowledged). TimedOut: no
// answer to the request. NotBack: it took the change but did not answer as planned in time.
// NotSent: the request could not go out here (port 4001 or 14321 unusable on its adapter), or the
// run stopped first. Pending: a dry run would send it the request.
// A plan's rows besides: Unchanged: it already answered from the planned address, so nothing was
// sent. Taken: another device answers from the address: before the request one not in the plan
// (nothing was sent), or, verified, any other still does after the row's device took it.
// HostAddress: one of this host's adapters holds it.
// A rollout's devices besides: DeviceError: an ERROR (or a packet with no place in an upload) after
// the write request was acknowledged. Skipped: the image lacks the marker of the device's kind and
// --yes was not given, so nothing was sent to it. NotRestarted: the image went through but the
// device answered throughout the back timeout, never silent: it did not restart.
enum class FleetState {
    Done,
    NotFound,
    Refused,
    TimedOut,
    NotBack,
    NotSent,
    Pending,
    Unchanged,
    Taken,
    HostAddress,
    DeviceError,
    Skipped,
    NotRestarted
};

// "done", "not-found", "refused", "timed-out", "not-back", "not-sent", "pending", "unchanged",
// "taken", "host-address", "device-error", "skipped", "not-restarted": as reports and tables say.
std::string_view fleetStateName(FleetState state);
std::optional<FleetState> fleetStateNamed(std::string_view name);

// What every line of such a command's report holds, whatever the command.
struct FleetEntry {
    FleetState state = FleetState::NotFound;
    std::optional<Ipv4> ip; // the address the device last answered from
    std::string name;       // 8-bit text from the device
    std::string adapter;    // interface name
    std::string detail;     // why it did not end done, or why nothing was sent
    bool earlier = false;   // settled in an earlier run, carried over from --skip-done
    bool operator==(const FleetEntry&) const = default;
};

} // namespace fw
