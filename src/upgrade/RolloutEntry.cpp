// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/RolloutEntry.h"

namespace fw {

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
