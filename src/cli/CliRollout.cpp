// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AdapterChoice.h"
#include "cli/CliTargets.h"
#include "cli/CliUpgrade.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/DeviceReport.h"
#include "cli/FleetCommand.h"
#include "cli/ProgressText.h"
#include "cli/ReportFile.h"
#include "cli/RolloutReport.h"
#include "engine/BackCheckDriver.h"
#include "engine/SharedPortFactory.h"
#include "upgrade/ImageCheck.h"
#include "upgrade/RolloutEntry.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace fw::cli {
namespace {

class CliRollout : public FleetCommand<CliRollout, RolloutCommand, RolloutReport> {
public:
    explicit CliRollout(CliContext& ctx);

    // All public: FleetCommand calls the steps, and the class is this file's alone.
    struct Job {
        RolloutEntry entry;
        std::optional<DeviceRow> row; // what the search found; none: not found
        bool upload = false;          // to be uploaded
        bool settled = false;         // its entry is final
    };

    struct Inputs {
        std::vector<DeviceTarget> targets; // --device and --from, each once
        std::vector<RolloutEntry> earlier; // the devices --skip-done found done with this image
    };
    // Everything a rollout reads (the image, the device list, the earlier report), read and judged
    // before anything is sent; Usage after saying why.
    Result<Inputs, ExitStatus> prepare();
    void begin(const Inputs& in);
    std::optional<SearchRequest> searchFor(const Inputs& in) const;
    std::optional<ExitStatus> refuse(const SearchSummary& searched, const Inputs& in) const;
    std::optional<std::string> portRefusal(const SearchSummary& searched,
                                           const std::vector<DeviceTarget>& targets,
                                           const std::vector<RolloutEntry>& earlier) const;
    void plan(const std::vector<DeviceRow>& rows, const Inputs& in);
    asio::awaitable<void> upload(std::size_t index);
    static asio::awaitable<void> afterJobs() { co_return; }
    std::string printed(const std::vector<RolloutEntry>& entries) const;
    static std::string noJobs() { return "no device to upgrade"; }
    static bool ended(const RolloutEntry& e) { return e.state == RolloutState::Done; }
    void settle(std::size_t index);
    void render();

    ImageFile file_; // read once; these bytes go to every device
    std::vector<Job> jobs_;
    // With --per-adapter above 1: the uploads and their back-checks share each adapter's ports.
    std::optional<engine::SharedPortFactory> shared_;
    std::optional<CliContext> sharing_;
    std::vector<const CliUpload*> running_; // drawn on one terminal line
};

} // namespace

CliRollout::CliRollout(CliContext& ctx)
    : FleetCommand(ctx, "no further device is started",
                   "the rollout stopped: its report could not be written") {}

Result<CliRollout::Inputs, ExitStatus> CliRollout::prepare() {
    auto file = readImage(ctx_, command_.image);
    if (!file) {
        return Failure{file.error()};
    }
    file_ = std::move(*file);
    Inputs in{command_.devices, {}};
    if (!command_.fromFile.empty()) {
        const auto text = readTextFile(command_.fromFile);
        if (!text) {
            ctx_.console.err(command_.fromFile + ": " + text.error().message());
            return Failure{ExitStatus::Usage};
        }
        const auto listed = parseDeviceList(*text);
        if (!listed) {
            ctx_.console.err(command_.fromFile + ": " + deviceListProblemText(listed.error()));
            return Failure{ExitStatus::Usage};
        }
        in.targets.insert(in.targets.end(), listed->begin(), listed->end());
    }
    in.targets = uniqueTargets(in.targets);
    auto earlier = readReportOptions<std::vector<RolloutEntry>>(
        ctx_.console, command_.report,
        {{command_.image, "the image"}, {command_.fromFile, "the --from file"}}, RolloutReport::kind(),
        command_.skipDone,
        [&] { return RolloutReport(command_.image, file_.bytes).doneIn(command_.skipDone); });
    if (!earlier) {
        return Failure{earlier.error()};
    }
    in.earlier = std::move(*earlier);
    return in;
}

void CliRollout::begin(const Inputs& /*in*/) {
    report_.emplace(command_.image, file_.bytes);
}

std::optional<SearchRequest> CliRollout::searchFor(const Inputs& in) const {
    // Named devices only: the search may end as soon as each has answered.
    StopWhen allSeen;
    if (!command_.allAp && !command_.allBridge) {
        allSeen = [missing = in.targets](const DeviceRow& row) mutable {
            std::erase_if(missing, [&](const DeviceTarget& t) { return matches(t, row); });
            return missing.empty();
        };
    }
    return SearchRequest{table_, SearchCountdown::kWait, allSeen, DiscoverySearch::Keying::Sender, sweep_};
}

std::optional<ExitStatus> CliRollout::refuse(const SearchSummary& searched, const Inputs& in) const {
    if (const auto refusal = portRefusal(searched, in.targets, in.earlier)) {
        ctx_.console.err(*refusal);
        return ExitStatus::Usage;
    }
    return std::nullopt;
}

std::string CliRollout::printed(const std::vector<RolloutEntry>& entries) const {
    return command_.format == OutputFormat::Json ? indentedJson(report_->document(entries))
                                                 : RolloutReport::summary(entries);
}

// Another program holds port 4001 on an adapter the search used: a named device not found (and not
// done earlier) or a device of the searched kinds may be behind it. Refused before anything is sent,
// as a single upgrade is, rather than reported not-found.
std::optional<std::string> CliRollout::portRefusal(const SearchSummary& searched,
                                                   const std::vector<DeviceTarget>& targets,
                                                   const std::vector<RolloutEntry>& earlier) const {
    if (!portTaken(searched)) {
        return std::nullopt;
    }
    std::string missing;
    int count = 0;
    for (const DeviceTarget& t : targets) {
        const bool found = std::any_of(searched.rows.begin(), searched.rows.end(),
                                       [&](const DeviceRow& r) { return matches(t, r); });
        const bool done = std::any_of(earlier.begin(), earlier.end(),
                                      [&](const RolloutEntry& e) { return e.target == describe(t); });
        if (!found && !done) {
            missing += (missing.empty() ? "" : ", ") + describe(t);
            ++count;
        }
    }
    const std::string held = portTakenOn(searched);
    if (!missing.empty()) {
        return missing + " did not answer; " + (count == 1 ? "it" : "they") + " may be behind " + held +
               ", where another program holds UDP port 4001; nothing was sent";
    }
    if (command_.allAp || command_.allBridge) {
        return "the devices behind " + held +
               " could not be searched, as another program holds UDP port 4001 there; nothing was sent";
    }
    return std::nullopt;
}

// On a terminal, one line for every running upload: its device and its bar, or side by side the
// percent, retransmissions and timeouts of each.
void CliRollout::render() {
    if (running_.empty() || !ctx_.console.progressOnTerminal()) {
        return;
    }
    const int width = ctx_.console.width() - 1;
    const int share = width / static_cast<int>(running_.size());
    std::string line;
    for (const CliUpload* u : running_) {
        const std::string label = (line.empty() ? "" : " | ") + u->label() + " ";
        line += label + u->progressView(share - static_cast<int>(label.size()));
    }
    ctx_.console.progress(line.substr(0, static_cast<std::size_t>(std::max(0, width))));
}

// The jobs in order: the named devices, then the searched kinds by address; one job per device.
void CliRollout::plan(const std::vector<DeviceRow>& rows, const Inputs& in) {
    if (command_.perAdapter > 1) {
        shared_.emplace(ctx_.endpoints);
        sharing_.emplace(CliContext{ctx_.console, *shared_, ctx_.host, ctx_.portProblemsSaid});
    }
    const std::vector<DeviceTarget>& targets = in.targets;
    const std::vector<RolloutEntry>& earlier = in.earlier;
    std::set<MacAddress> planned;
    std::vector<bool> carried(earlier.size(), false);
    auto earlierDone = [&](auto&& same) -> const RolloutEntry* {
        for (std::size_t i = 0; i < earlier.size(); ++i) {
            if (!carried[i] && same(earlier[i])) {
                carried[i] = true;
                return &earlier[i];
            }
        }
        return nullptr;
    };
    auto add = [&](std::string target, const DeviceRow* row) {
        if (row != nullptr && !planned.insert(row->mac).second) {
            return;
        }
        Job job;
        job.entry.target = std::move(target);
        // Done earlier but silent now (a device still restarting, say): still done.
        const RolloutEntry* done =
            row == nullptr ? earlierDone([&](const RolloutEntry& e) { return e.target == job.entry.target; })
                           : earlierDone([&](const RolloutEntry& e) { return e.mac == row->mac; });
        if (done != nullptr) {
            job.entry = *done;
            ctx_.console.note(job.entry.target + ": done in an earlier run; left out");
        } else if (row == nullptr) {
            job.entry.state = RolloutState::NotFound;
            job.entry.detail = "no device answered the search";
        } else {
            job.row = *row;
            job.entry.mac = row->mac;
            job.entry.ip = row->ip;
            job.entry.name = row->name;
            job.entry.adapter = adapterName(table_, row->adapterIp);
            const ImageDecision decision = checkImage(command_.image, file_, row->kind);
            job.upload = decision.kind == ImageDecision::Kind::Accept || command_.yes;
            if (!job.upload) {
                job.entry.state = RolloutState::Skipped;
                job.entry.detail = decision.message.text + " Left out; give --yes to upload it anyway.";
            } else if (decision.kind != ImageDecision::Kind::Accept) {
                ctx_.console.err(job.entry.target + ": " + decision.message.text +
                                 " Uploading, as --yes was given.");
            }
        }
        jobs_.push_back(std::move(job));
    };
    for (const DeviceTarget& t : targets) {
        const auto it =
            std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return matches(t, r); });
        add(describe(t), it == rows.end() ? nullptr : &*it);
    }
    std::vector<DeviceRow> kinds;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(kinds), [&](const DeviceRow& r) {
        return r.kind == DeviceKind::AccessPoint ? command_.allAp : command_.allBridge;
    });
    std::sort(kinds.begin(), kinds.end(),
              [](const DeviceRow& a, const DeviceRow& b) { return a.ip.toHostOrder() < b.ip.toHostOrder(); });
    for (const DeviceRow& r : kinds) {
        add(formatMac(r.mac), &r);
    }
    // The report never forgets a done device, whatever this run names or finds.
    for (std::size_t i = 0; i < earlier.size(); ++i) {
        if (!carried[i]) {
            Job job;
            job.entry = earlier[i];
            jobs_.push_back(std::move(job));
        }
    }
    std::vector<std::size_t> queued;
    std::vector<Ipv4> adapters;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (jobs_[i].upload && command_.dryRun) {
            jobs_[i].entry.state = RolloutState::Pending;
            jobs_[i].settled = true;
        } else if (jobs_[i].upload) {
            queued.push_back(i);
            adapters.push_back(jobs_[i].row->adapterIp);
        } else {
            jobs_[i].settled = true;
        }
    }
    runner_->queue(std::move(queued), std::move(adapters), command_.parallel, command_.perAdapter,
                   [this](std::size_t index) { return upload(index); });
    writeReport();
}

asio::awaitable<void> CliRollout::upload(std::size_t index) {
    const Job& job = jobs_[index];
    RolloutEntry& e = jobs_[index].entry;
    ctx_.console.note(e.target + ": " + upgradingText(*job.row, e.adapter));
    CliContext& ctx = sharing_ ? *sharing_ : ctx_;
    CliUpload upload(ctx, e.target, [this] { render(); });
    running_.push_back(&upload);
    const Verdict verdict = co_await upload.run(job.row->ip, job.row->adapterIp, e.adapter, file_.bytes);
    std::erase(running_, &upload);
    const auto counters = upload.counters();
    e.bytes = counters.bytesAcknowledged;
    e.retransmissions = counters.retransmissions;
    e.timeouts = counters.timeouts;
    e.uploadSeconds = upload.seconds();
    e.detail = verdict.status == ExitStatus::Ok ? std::string() : verdict.text;
    if (const auto state = rolloutStateOf(upload.outcome(), counters)) {
        e.state = *state;
        settle(index);
        co_return;
    }
    ctx_.console.note(e.target + (command_.noRestart
                                      ? ": uploaded; waiting for it to answer a search again"
                                      : ": uploaded; waiting for it to restart and answer again"));
    // On the device's own adapter: its port 4001 is held by no other search of this rollout, or
    // shared with the back-checks of the other uploads there (--per-adapter).
    AdapterTable own;
    if (const AdapterEntry* adapter = adapterAt(table_, job.row->adapterIp)) {
        own.push_back(*adapter);
    }
    engine::BackCheckDriver back(ctx.endpoints);
    engine::BackCheckDriver::Timing timing;
    timing.backTimeout = command_.backTimeout;
    // One found at a target, perhaps behind a router, is asked at its address alone; so is each of
    // several on one adapter (--per-adapter): their searches share its port 4001, where an answer to
    // another's broadcast would be taken for an answer to its own.
    std::optional<Sweep> at;
    if ((sweep_ && sweep_->targets.covers(job.row->ip)) || sharing_) {
        at = sweepOf(std::span(&job.row->ip, 1), table_);
    }
    const auto outcome = co_await back.run(own, job.row->mac, !command_.noRestart, timing, std::move(at));
    e.state = outcome ? outcome->state : RolloutState::NotBack;
    e.backSeconds = outcome ? std::chrono::duration<double>(outcome->elapsed).count() : 0;
    if (e.state == RolloutState::Done) {
        e.ip = outcome->row->ip;
    } else if (e.state == RolloutState::NotRestarted) {
        e.detail = "uploaded, but it answered searches throughout the back timeout and never restarted";
    } else {
        e.detail = command_.noRestart ? "uploaded, but did not answer a search again in time"
                                      : "uploaded and went silent, but did not answer a search again in time";
    }
    settle(index);
}

void CliRollout::settle(std::size_t index) {
    jobs_[index].settled = true;
    const RolloutEntry& e = jobs_[index].entry;
    ctx_.console.note(endedText(e.target, fleetStateName(e.state), e.detail));
    writeReport();
}

namespace {

// Uploads on one adapter at once, all from its one port 14321.
constexpr int kMaxPerAdapter = 16;
// --parallel's range: uploads side by side over all adapters.
constexpr int kMaxParallelUploads = 176;

} // namespace

ParsedCommandLine parseRollout(const Options& o) {
    const auto& args = o.positionals();
    if (args.empty() || args[0].empty()) {
        return o.failure("the image file is missing");
    }
    if (args.size() > 1) {
        return o.failure("unexpected argument " + quoted(args[1]) + " (a rollout takes the image only)");
    }
    RolloutCommand c;
    c.image = args[0];
    for (const std::string& d : o.values("device")) {
        const auto target = deviceTarget(d);
        if (!target) {
            return notADevice(o, d);
        }
        c.devices.push_back(*target);
    }
    if (auto e = fileNames(o, {"from", "report", "skip-done"})) {
        return *e;
    }
    c.fromFile = o.value("from");
    c.allAp = o.isSet("all-ap");
    c.allBridge = o.isSet("all-bridge");
    c.report = o.value("report");
    c.skipDone = o.value("skip-done");
    if (auto e = o.count("parallel", c.parallel, 1, kMaxParallelUploads)) {
        return *e;
    }
    if (auto e = o.count("per-adapter", c.perAdapter, 1, kMaxPerAdapter)) {
        return *e;
    }
    if (auto e = o.seconds("back-timeout", c.backTimeout)) {
        return *e;
    }
    c.noRestart = o.isSet("no-restart");
    c.yes = o.isSet("yes");
    c.interfaces = o.interfaces();
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    return withFormatAndDryRun(o, c);
}

asio::awaitable<ExitStatus> run(CliContext& ctx, const RolloutCommand& command) {
    return runFleetCommand<CliRollout>(ctx, command);
}

} // namespace fw::cli
