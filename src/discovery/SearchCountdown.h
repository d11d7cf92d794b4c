// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace fw {

// The Searching dialog's wait: 15 steps of 0.2 s. Step i shows bar value i and then waits one
// step, so the bar stands at 14 during the last step. A cancel is seen at the start of the next
// step, at most 0.2 s later. The dialog supplies the timer; replies keep arriving meanwhile.
class SearchCountdown {
public:
    static constexpr int kSteps = 15;
    static constexpr int kLastValue = kSteps - 1;
    static constexpr std::chrono::milliseconds kStep{200};
    // The whole wait; also the command line's searches wait this long by default.
    static constexpr std::chrono::milliseconds kWait = kSteps * kStep;

    class Io {
    public:
        virtual void showProgress(int value) = 0;
        // Call onStepElapsed() once `interval` has passed.
        virtual void waitStep(std::chrono::milliseconds interval) = 0;
        // The countdown is over (run out or cancelled): close the dialog.
        virtual void finish() = 0;

    protected:
        ~Io() = default;
    };

    explicit SearchCountdown(Io& io) : io_(io) {}

    void start();
    void onStepElapsed();
    void cancel();

    bool running() const { return running_; }
    bool cancelled() const { return cancelled_; }
    int step() const { return step_; }

private:
    void runStep();

    Io& io_;
    int step_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
};

} // namespace fw
