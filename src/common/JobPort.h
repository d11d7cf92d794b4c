// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

namespace fw {

// A window's way to run one kind of engine job (Job names its Request, Event and Outcome). The job
// runs on the engine's thread; its events and its outcome come back later on the GUI thread, the
// events in batches (all that came since the last batch was taken), the outcome after the last of
// them. Starting again drops whatever the earlier run still had on its way; after a cancel, only
// the events it told before it stopped still come, never its outcome.
template <class Job> class JobPort {
public:
    using Request = typename Job::Request;
    using Event = typename Job::Event;
    using Outcome = typename Job::Outcome;
    using Command = typename Job::Command; // std::monostate for a job that takes none
    struct Handlers {
        std::function<void(std::vector<Event>)> events;
        std::function<void(Outcome)> ended;
    };

    // Cancels a run still going, then starts this one.
    virtual void start(Request request, Handlers handlers) = 0;
    // The job stops at once on the engine's thread; no outcome comes back. Safe at any time.
    virtual void cancel() = 0;
    // To the running job, in order with what it was sent before; nothing once cancelled.
    virtual void command(Command command) = 0;

protected:
    ~JobPort() = default;
};

} // namespace fw
