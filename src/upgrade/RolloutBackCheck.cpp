// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/RolloutBackCheck.h"

namespace fw {

RolloutBackCheck::RolloutBackCheck(bool restarts, std::chrono::milliseconds timeout)
    : restarts_(restarts), timeout_(timeout) {}

std::optional<RolloutState> RolloutBackCheck::searched(bool answered, std::chrono::milliseconds elapsed) {
    const bool over = elapsed >= timeout_;
    if (!answered) {
        silent_ = true;
        return over ? std::optional(RolloutState::NotBack) : std::nullopt;
    }
    if (silent_ || !restarts_) {
        return RolloutState::Done;
    }
    return over ? std::optional(RolloutState::NotRestarted) : std::nullopt;
}

} // namespace fw
