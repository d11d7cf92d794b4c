// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/JobPort.h"
#include "common/Message.h"
#include "discovery/DeviceRows.h"
#include "discovery/SearchJob.h"
#include "netif/AdapterFacts.h"
#include "netif/AdapterSelection.h"

#include <cstdint>
#include <optional>

namespace fw {

// The main window's searches: rebuilds the adapter tables, empties the list, runs the Searching
// dialog's countdown (15 x 0.2 s) and appends the engine's rows in batches as they come back. Rows
// of an earlier search that arrive late are dropped. The view opens the dialog and shows messages;
// its owner hears what happened through Events, the adapter tables included. The search runs on the
// port until the next one or closeDiscoverySockets(): replies after the countdown still become rows.
class SearchCycle final {
public:
    class View {
    public:
        // Open the Searching dialog and run its countdown; call countdownEnded() when it is over.
        virtual void startCountdown() = 0;
        virtual void showMessage(const Message& message) = 0;
        // The host's adapters, before any rule (Host::readAdapters).
        virtual AdapterListing readAdapters() = 0;

    protected:
        ~View() = default;
    };
    // The tables a search was started with: what Set IP talks through and checks against.
    struct Adapters {
        AdapterTable searched; // the adapters searched on
        AdapterTable host;     // every adapter of this host, searched on or not
    };
    class Events {
    public:
        virtual void searchStarted(Adapters adapters) = 0;       // the list was emptied
        virtual void rowsAdded(int lastRow) = 0;                 // replies became rows, the last at lastRow
        virtual void searchFinished() = 0;                       // the countdown ended (or was cancelled)
        virtual void adapterFailure(AdapterOutcome outcome) = 0; // string 29/30 was shown

    protected:
        ~Events() = default;
    };

    SearchCycle(JobPort<SearchJob>& port, DeviceRows& rows, View& view, Events& events);

    // Starts a search. When a countdown is already running, the new search sends its requests and
    // returns without a countdown of its own; the running countdown ends both.
    void search();
    void countdownEnded();
    bool countdownRunning() const { return countdownRunning_; }
    void closeDiscoverySockets() { port_.cancel(); }
    // The number the engine gave the latest search, once it has said; none before.
    std::optional<std::int16_t> searchSequence() const { return sequence_; }

private:
    void heard(std::uint64_t search, std::vector<SearchJob::Event> events);
    void searchSent(const SearchJob::Started& started);
    void failAdapters(AdapterOutcome outcome);

    JobPort<SearchJob>& port_;
    DeviceRows& rows_;
    View& view_;
    Events& events_;
    std::uint64_t searches_ = 0; // searches started; what comes back names the one it answers
    std::optional<std::int16_t> sequence_;
    bool countdownRunning_ = false;
};

} // namespace fw
