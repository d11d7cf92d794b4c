// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upgrade/RolloutEntry.h"

#include <chrono>
#include <optional>

namespace fw {

// Whether a device came back after its upload, judged from the searches for its MAC on its adapter
// that follow it. A device restarts to run the new image: it answers a little longer, goes silent,
// then answers again. Its answer before the restart proves nothing, so it counts only after a
// search it left unanswered. A device that answers throughout the back timeout did not restart;
// one that went silent and stays so is not back. Without a restart (--no-restart) any answer will do.
class RolloutBackCheck {
public:
    RolloutBackCheck(bool restarts, std::chrono::milliseconds timeout);

    // One search's end, `elapsed` after the upload's: whether the device answered it. The state it
    // ends in, or none to search again (only searches begun within the timeout count).
    std::optional<RolloutState> searched(bool answered, std::chrono::milliseconds elapsed);

private:
    bool restarts_;
    std::chrono::milliseconds timeout_;
    bool silent_ = false;
};

} // namespace fw
