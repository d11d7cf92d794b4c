// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/FleetCommand.h"
#include "cli/PlanReport.h"
#include "common/Result.h"
#include "discovery/DeviceRow.h"
#include "engine/Clock.h"
#include "setip/PlanEntry.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <optional>
#include <vector>

namespace fw::cli {

// set-ip --plan: the plan is read and judged whole before anything is sent; rows whose address
// this host holds, or that an earlier report settled, are left out; one search finds the devices;
// a device already answering from its planned address gets no request, and with --verify neither
// does one whose address another device holds. Each request goes from its device's adapter, side
// by side only on different adapters (each request holds port 4001 there); with --verify, searches
// afterwards wait for each device at its new address. The report is rewritten after every row;
// when it cannot be written, nothing more is sent. A dry run stops after the search: the rows that
// would get a request end pending, and no report is written.
// set-ip --plan, read by set-ip's parser, and run.
ParsedCommandLine parsePlan(const Options& o);
asio::awaitable<ExitStatus> run(CliContext& ctx, const SetIpPlanCommand& command);

class CliPlan : public FleetCommand<CliPlan, SetIpPlanCommand, PlanReport> {
public:
    explicit CliPlan(CliContext& ctx);

    asio::awaitable<ExitStatus> run(const SetIpPlanCommand& command) { return runFleet(command); }

private:
    friend class FleetCommand<CliPlan, SetIpPlanCommand, PlanReport>;
    using Clock = engine::Clock;

    struct Job {
        PlanEntry entry;
        std::optional<DeviceRow> device; // what the search found: the request goes to its adapter
        bool settled = false;            // its entry is final
        bool seenSince = false;          // verifying: it answered, but not from the planned address
        bool lostAnswer = false;         // routed: no answer came back across the router
        Clock::time_point sentAt;        // its request
        Clock::time_point okAt;          // its OK, from which --verify-timeout counts
    };

    struct Inputs {
        std::vector<PlanRow> rows;
        std::vector<PlanEntry> earlier; // what --skip-done found settled
    };
    // The plan, the report's place and the earlier report, judged before anything is sent; Usage
    // after saying why.
    Result<Inputs, ExitStatus> prepare();
    // Each row's job; those settled before any search (earlier, this host's address) are final.
    void begin(const Inputs& in);
    // The search for the rows' devices; none when every row is settled already.
    std::optional<SearchRequest> searchFor(const Inputs& in) const;
    static std::optional<ExitStatus> refuse(const SearchSummary&, const Inputs&) { return std::nullopt; }
    void plan(const std::vector<DeviceRow>& seen, const Inputs& in);
    asio::awaitable<void> send(std::size_t index);
    asio::awaitable<void> afterJobs();
    std::string printed(const std::vector<PlanEntry>& entries) const;
    std::string noJobs() const;
    static bool ended(const PlanEntry& e);
    void settle(std::size_t index);

    std::vector<DeviceRow> before_; // what the search before the requests found
    std::vector<Job> jobs_;
};

} // namespace fw::cli
