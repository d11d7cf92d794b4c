// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SearchCountdown.h"

namespace fw {

void SearchCountdown::start() {
    if (running_) {
        return;
    }
    running_ = true;
    cancelled_ = false;
    step_ = 0;
    runStep();
}

void SearchCountdown::onStepElapsed() {
    if (!running_) {
        return;
    }
    ++step_;
    runStep();
}

void SearchCountdown::cancel() {
    if (running_) {
        cancelled_ = true;
    }
}

void SearchCountdown::runStep() {
    if (cancelled_ || step_ >= kSteps) {
        running_ = false;
        io_.finish();
        return;
    }
    io_.showProgress(step_);
    io_.waitStep(kStep);
}

} // namespace fw
