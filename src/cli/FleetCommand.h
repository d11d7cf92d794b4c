// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/JobRunner.h"
#include "cli/ReportFile.h"
#include "discovery/DeviceRow.h"

#include <algorithm>
#include <asio/awaitable.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
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

// One image to many devices: a search finds them, each gets the upgrade's handshake and upload
// (side by side: up to --per-adapter of them on one adapter, sharing its ports), then must restart and answer
// a search on its adapter again within the back timeout. The report is rewritten after every device and keeps
// the devices done in earlier runs; the summary table (or the report's document) goes to stdout at the end.
// When the report cannot be written, nothing more starts. A dry run stops after the search: the devices that
// would get the image end pending, and no report is written.
// upgrade IMAGE --device/--from/--all-ap/--all-bridge, read by upgrade's parser, and run.
ParsedCommandLine parseRollout(const Options& o);
asio::awaitable<ExitStatus> run(CliContext& ctx, const RolloutCommand& command);

// A command over many devices (a Set IP plan, a rollout): its inputs read and judged before
// anything is sent, the adapters opened, one search, a job per device run side by side with the
// report rewritten after each, the table (or the report's document) printed, and the exit status:
// Ok when every device ended as wanted (a dry run: or pending) and the report could be written.
// Derived holds `jobs_` (each with `entry` and `settled`) and supplies the steps that differ:
//   prepare() -> Result<Inputs, ExitStatus>   the inputs; Usage after saying why
//   begin(in)                                 before the search: the report, the jobs settled already
//   searchFor(in) -> optional<SearchRequest>  none: no device to look for
//   refuse(found, in) -> optional<ExitStatus> the search leaves no sound way on
//   plan(rows, in)                            the jobs, queued on runner_
//   afterJobs() -> awaitable<void>            once every job has ended
//   printed(entries) -> std::string           what goes to stdout
//   noJobs() -> std::string                   said when there are no jobs
//   ended(entry) -> bool                      the entry is one the operator wanted
template <class Derived, class Command, class Report> class FleetCommand {
protected:
    // stopped: said beside why the report could not be written ("no further device is started");
    // dropped: the detail of the jobs that then never start.
    FleetCommand(CliContext& ctx, std::string_view stopped, std::string_view dropped)
        : ctx_(ctx), stopped_(stopped), dropped_(dropped) {}

public:
    asio::awaitable<ExitStatus> run(const Command& command) {
        Derived& self = static_cast<Derived&>(*this);
        command_ = command;
        const auto in = self.prepare();
        if (!in) {
            co_return in.error();
        }
        auto opened = openCommand(ctx_, command_.interfaces, command_.targets);
        if (!opened) {
            co_return opened.error();
        }
        table_ = std::move(opened->table);
        sweep_ = std::move(opened->sweep);
        runner_.emplace(ctx_, command_.dryRun ? std::string() : command_.report, stopped_);
        self.begin(*in);
        std::vector<DeviceRow> found;
        if (auto request = self.searchFor(*in)) {
            const auto searched = co_await search(ctx_, *request);
            if (!searched) {
                co_return searched.error();
            }
            if (const auto refused = self.refuse(*searched, *in)) {
                co_return *refused;
            }
            found = searched->rows;
        }
        self.plan(found, *in);
        const auto written = co_await runner_->run([&self] { return self.afterJobs(); });

        std::vector<decltype(self.jobs_.front().entry)> entries;
        for (const auto& j : self.jobs_) {
            entries.push_back(j.entry);
        }
        ctx_.console.endProgress();
        const std::string out = self.printed(entries);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        if (entries.empty()) {
            ctx_.console.err(self.noJobs());
        }
        if (!written) {
            ctx_.console.err(command_.report + ": the report could not be written (" +
                             written.error().message() + "); the table above is this run's record");
        }
        const bool dryRun = command_.dryRun;
        const bool allEnded =
            !entries.empty() && written && std::all_of(entries.begin(), entries.end(), [&](const auto& e) {
                using State = decltype(e.state);
                return Derived::ended(e) || (dryRun && e.state == State::Pending);
            });
        co_return allEnded ? ExitStatus::Ok : ExitStatus::Negative;
    }

protected:
    // Rewrites the report with the settled jobs; when it cannot be, the jobs not started end not-sent.
    void writeReport() {
        auto& jobs = static_cast<Derived&>(*this).jobs_;
        using State = decltype(jobs.front().entry.state);
        endDropped(jobs, runner_->save([&] { return saveSettled(*report_, command_.report, jobs); }),
                   State::NotSent, dropped_);
    }

    CliContext& ctx_;
    Command command_;
    AdapterTable table_;
    std::optional<Sweep> sweep_;      // the command's targets; none: the broadcast alone
    std::optional<JobRunner> runner_; // the jobs, side by side as the command allows
    std::optional<Report> report_;    // --report's document, made by begin()

private:
    std::string stopped_;
    std::string dropped_;
};

// One run of a fleet command: the command is copied, as the run outlives the caller's statement.
template <class Fleet, class Command>
asio::awaitable<ExitStatus> runFleetCommand(CliContext& ctx, Command command) {
    Fleet fleet(ctx);
    co_return co_await fleet.run(command);
}

} // namespace fw::cli
