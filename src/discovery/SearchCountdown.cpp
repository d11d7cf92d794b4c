// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SearchCountdown.h"

namespace fw {

SearchCountdown::Step SearchCountdown::start() {
    running_ = true;
    cancelled_ = false;
    step_ = 0;
    return {step_, kStep};
}

std::optional<SearchCountdown::Step> SearchCountdown::tick() {
    if (!running_) {
        return std::nullopt;
    }
    if (cancelled_ || ++step_ >= kSteps) {
        running_ = false;
        return std::nullopt;
    }
    return Step{step_, kStep};
}

void SearchCountdown::cancel() {
    if (running_) {
        cancelled_ = true;
    }
}

} // namespace fw
