// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/RolloutEntry.h"

#include "common/NameTable.h"

#include <algorithm>

namespace fw {
namespace {

constexpr NameTable<RolloutState, 10> kNames{{
    {RolloutState::Done, "done"},
    {RolloutState::Refused, "refused"},
    {RolloutState::DeviceError, "device-error"},
    {RolloutState::TimedOut, "timed-out"},
    {RolloutState::NotBack, "not-back"},
    {RolloutState::NotFound, "not-found"},
    {RolloutState::Skipped, "skipped"},
    {RolloutState::NotRestarted, "not-restarted"},
    {RolloutState::NotSent, "not-sent"},
    {RolloutState::Pending, "pending"},
}};

} // namespace

std::string_view rolloutStateName(RolloutState state) {
    return nameIn(kNames, state);
}

std::optional<RolloutState> rolloutStateNamed(std::string_view name) {
    return valueNamed(kNames, name);
}

std::optional<RolloutState> rolloutStateOf(TftpUpload::Outcome outcome,
                                           const TftpUpload::Counters& counters) {
    switch (outcome) {
    case TftpUpload::Outcome::Completed:
        return std::nullopt;
    case TftpUpload::Outcome::DeviceError:
        return counters.requestAcknowledged ? RolloutState::DeviceError : RolloutState::Refused;
    case TftpUpload::Outcome::PeerFault:
    case TftpUpload::Outcome::Stalled:
        return RolloutState::DeviceError;
    case TftpUpload::Outcome::PortUnavailable:
        return RolloutState::NotSent;
    case TftpUpload::Outcome::TimedOut:
    case TftpUpload::Outcome::Cancelled:
    case TftpUpload::Outcome::None:
        break;
    }
    return RolloutState::TimedOut;
}

} // namespace fw
