// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>

namespace fw {

// The Searching dialog's wait: 15 steps of 0.2 s. Step i shows bar value i and then waits one
// step, so the bar stands at 14 during the last step. A cancel is seen at the start of the next
// step, at most 0.2 s later. The dialog runs the timer; replies keep arriving meanwhile.
class SearchCountdown {
public:
    static constexpr int kSteps = 15;
    static constexpr int kLastValue = kSteps - 1;
    static constexpr std::chrono::milliseconds kStep{200};
    // The whole wait; also the command line's searches wait this long by default.
    static constexpr std::chrono::milliseconds kWait = kSteps * kStep;

    // Show bar on the bar, then call tick() once wait has passed.
    struct Step {
        int bar;
        std::chrono::milliseconds wait;
    };

    Step start();
    // The next step, or none: the countdown is over (run out or cancelled), close the dialog.
    std::optional<Step> tick();
    void cancel();

    bool running() const { return running_; }

private:
    int step_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
};

} // namespace fw
