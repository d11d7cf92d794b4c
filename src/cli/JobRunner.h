// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/ReportFile.h"
#include "common/Ipv4.h"
#include "common/Result.h"
#include "engine/Clock.h"
#include "upgrade/RolloutQueue.h"

#include <asio/awaitable.hpp>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fw::cli {

// The jobs of a plan (a Set IP request each) or a rollout (an upload and back-check each): each
// a coroutine, started in order as RolloutQueue lets it (so many at once, so many on one adapter),
// with the run's report rewritten after each settled job. A report that cannot be written stops
// the starting: without it a resumed run could not tell what is done; the jobs under way end as
// usual.
class JobRunner {
public:
    using Work = std::function<asio::awaitable<void>(std::size_t job)>;
    using Save = std::function<Status<std::error_code>()>;
    using Then = std::function<asio::awaitable<void>()>;

    // report: the file rewritten after each job, empty for none (a dry run writes none); stopped:
    // what the operator is told beside the reason it could not be ("no further device is started").
    JobRunner(CliContext& ctx, std::string report, std::string_view stopped);

    // The jobs to run (the command's indices), each with the adapter it goes through, in order.
    void queue(std::vector<std::size_t> jobs, std::vector<Ipv4> adapters, int parallel, int perAdapter,
               Work work);
    bool queued() const { return queue_.has_value(); }

    // Starts the jobs as they may start and, once every one has ended or was dropped, awaits `then`
    // (a plan's searches for its devices back, which still save the report). Why the report could
    // not be written, when it could not.
    asio::awaitable<Status<std::error_code>> run(const Then& then = {});

    // Rewrites the report by `save`, unless there is none or an earlier write failed. When this
    // one fails, it says so and drops the jobs not started: the command's indices of those.
    std::vector<std::size_t> save(const Save& save);

private:
    void startNext();
    asio::awaitable<void> runJob(std::size_t slot);

    CliContext& ctx_;
    std::string report_;
    std::string stopped_;
    std::optional<std::error_code> error_; // why the report could not be written
    std::vector<std::size_t> jobs_;        // the command's index of each queue slot
    std::optional<RolloutQueue> queue_;
    Work work_;
    engine::Timer ended_; // woken when a job ends
};

// How a job ended, as the run notes it: "NAME: state (detail)".
inline std::string endedText(const std::string& name, std::string_view state, const std::string& detail) {
    return name + ": " + std::string(state) + (detail.empty() ? "" : " (" + detail + ")");
}

// The jobs JobRunner::save() dropped end in the command's NotSent state, saying why.
template <class Job, class State>
void endDropped(std::vector<Job>& jobs, const std::vector<std::size_t>& dropped, State notSent,
                std::string_view why) {
    for (const std::size_t index : dropped) {
        jobs[index].entry.state = notSent;
        jobs[index].entry.detail = why;
        jobs[index].settled = true;
    }
}

// A plan's or a rollout's --report and --skip-done, judged before anything is sent: the report must
// be one that may be written (checkWritable with the run's inputs), the earlier report one that can
// be read (read()). What that report settled; Usage after saying why.
template <class Earlier, class Read>
Result<Earlier, ExitStatus> readReportOptions(Console& console, const std::string& report,
                                              const std::vector<std::pair<std::string, std::string>>& inputs,
                                              ReportKind kind, const std::string& skipDone, Read read) {
    if (!report.empty()) {
        if (const Status<ReportProblem> w = checkWritable(report, inputs, kind); !w) {
            console.err("--report " + report + ": " + reportProblemText(w.error()));
            return Failure{ExitStatus::Usage};
        }
    }
    if (skipDone.empty()) {
        return Earlier{};
    }
    Result<Earlier, ReportProblem> earlier = read();
    if (!earlier) {
        console.err(skipDone + ": " + reportProblemText(earlier.error()));
        return Failure{ExitStatus::Usage};
    }
    return std::move(*earlier);
}

} // namespace fw::cli
