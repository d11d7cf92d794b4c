// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AdapterChoice.h"
#include "cli/CliSetIp.h"
#include "cli/CliTargets.h"
#include "cli/CliVerdict.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/DeviceReport.h"
#include "cli/FleetCommand.h"
#include "cli/PlanReport.h"
#include "cli/ProgressText.h"
#include "cli/ReportFile.h"
#include "engine/BackCheckDriver.h"
#include "engine/Clock.h"
#include "setip/PlanEntry.h"

#include <algorithm>
#include <set>
#include <utility>

namespace fw::cli {
namespace {

std::string problemText(const PlanProblem& p) {
    const std::string first = " (line " + std::to_string(p.firstLine) + ")";
    switch (p.error) {
    case PlanError::NoHeader:
        return "no header naming the columns mac, ip, mask, gateway (and label)";
    case PlanError::UnknownColumn:
        return "unknown column " + quoted(p.text) + " (mac, ip, mask, gateway and label are known)";
    case PlanError::MissingColumn:
        return "the header lacks the column " + quoted(p.text);
    case PlanError::RepeatedColumn:
        return "the column " + quoted(p.text) + " is named twice";
    case PlanError::BadQuotes:
        return "a quote is left open, or followed by more than the next comma";
    case PlanError::FieldCount:
        return "the row does not have one field for each column of the header";
    case PlanError::BadMac:
        return quoted(p.text) + " is not a MAC address (write it like 00-0A-1B-2C-3D-4E)";
    case PlanError::BadAddress:
        return "ip " + quoted(p.text) + " is not a valid IP address";
    case PlanError::BadMask:
        return p.text.empty() ? "the mask is missing"
                              : "mask " + quoted(p.text) + " is not a valid IP address";
    case PlanError::BadGateway:
        return "gateway " + quoted(p.text) + " is not a valid IP address";
    case PlanError::DhcpWithAddress:
        return "dhcp takes no mask or gateway, but " + quoted(p.text) + " is given";
    case PlanError::RepeatedMac:
        return p.text + " has a row already" + first;
    case PlanError::RepeatedAddress:
        return p.text + " is planned for another device already" + first;
    }
    return {};
}

// How the operator tells the rows apart: the MAC and the label.
std::string rowName(const PlanRow& row) {
    return formatMac(row.mac) + (row.label.empty() ? "" : " (" + row.label + ")");
}

// The command's targets and these addresses besides (those that could be a device's).
Sweep withAddresses(const Sweep& sweep, std::span<const Ipv4> addresses, const AdapterTable& table) {
    Sweep more = sweepOf(addresses, table, sweep.broadcast, sweep.rate);
    std::vector<Target> targets;
    for (const TargetSet* set : {&sweep.targets, &std::as_const(more.targets)}) {
        for (const Ipv4Range& r : set->ranges()) {
            targets.push_back({r, 0, {}});
        }
    }
    if (auto made = TargetSet::make(targets, table, true)) {
        more.targets = std::move(*made);
    }
    return more;
}

class CliPlan : public FleetCommand<CliPlan, SetIpPlanCommand, PlanReport> {
public:
    explicit CliPlan(CliContext& ctx);

    // All public: FleetCommand calls the steps, and the class is this file's alone.
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

} // namespace

CliPlan::CliPlan(CliContext& ctx)
    : FleetCommand(ctx, "no further request is sent", "the run stopped: its report could not be written") {}

Result<CliPlan::Inputs, ExitStatus> CliPlan::prepare() {
    const auto text = readTextFile(command_.planFile);
    if (!text) {
        ctx_.console.err(command_.planFile + ": " + text.error().message());
        return Failure{ExitStatus::Usage};
    }
    auto rows = parseSetIpPlan(*text);
    if (!rows) {
        for (const PlanProblem& p : rows.error()) {
            ctx_.console.err(command_.planFile + ":" + std::to_string(p.line) + ": " + problemText(p));
        }
        ctx_.console.err("nothing was sent");
        return Failure{ExitStatus::Usage};
    }
    auto earlier = readReportOptions<std::vector<PlanEntry>>(
        ctx_.console, command_.report, {{command_.planFile, "the plan"}}, PlanReport::kind(),
        command_.skipDone, [&] { return PlanReport::settledIn(command_.skipDone); });
    if (!earlier) {
        return Failure{earlier.error()};
    }
    return Inputs{std::move(*rows), std::move(*earlier)};
}

std::optional<SearchRequest> CliPlan::searchFor(const Inputs& in) const {
    std::set<MacAddress> missing;
    for (const Job& j : jobs_) {
        if (!j.settled) {
            missing.insert(j.entry.row.mac);
        }
    }
    if (missing.empty()) {
        return std::nullopt;
    }
    // A routed device already at its planned address is unchanged, and with --verify one that
    // answers from another row's takes it: the search sweeps them whether verified or not.
    std::vector<Ipv4> planned;
    for (const PlanRow& row : in.rows) {
        if (row.address) {
            planned.push_back(row.address->address);
        }
    }
    // Verified, the whole wait: only then is an address no other device answers from free.
    StopWhen allSeen;
    if (!command_.verify) {
        allSeen = [missing](const DeviceRow& row) mutable {
            missing.erase(row.mac);
            return missing.empty();
        };
    }
    std::optional<Sweep> sweep;
    if (sweep_) {
        sweep = withAddresses(*sweep_, planned, table_);
    }
    return SearchRequest{table_, SearchCountdown::kWait, allSeen, DiscoverySearch::Keying::MacAndAdapter,
                         std::move(sweep)};
}

std::string CliPlan::printed(const std::vector<PlanEntry>& entries) const {
    return command_.format == OutputFormat::Json ? indentedJson(PlanReport::rows(entries))
                                                 : PlanReport::summary(entries);
}

std::string CliPlan::noJobs() const {
    return command_.planFile + ": the plan has no rows";
}

bool CliPlan::ended(const PlanEntry& e) {
    return planRowSettled(e.state);
}

void CliPlan::begin(const Inputs& in) {
    report_.emplace(command_.planFile);
    const AdapterListing listing = ctx_.host.readAdapters();
    for (const PlanRow& row : in.rows) {
        Job job;
        job.entry.row = row;
        const auto earlier = std::find_if(in.earlier.begin(), in.earlier.end(), [&](const PlanEntry& e) {
            return settledEarlier(row, std::span(&e, 1));
        });
        if (earlier != in.earlier.end()) {
            job.entry = *earlier;
            job.entry.row = row; // this plan's line and label
            job.settled = true;
            ctx_.console.note(rowName(row) + ": " + std::string(fleetStateName(job.entry.state)) +
                              " in an earlier run; left out");
        } else if (const auto holder =
                       row.address ? hostAdapterHolding(listing, row.address->address) : std::nullopt) {
            job.entry.state = PlanState::HostAddress;
            job.entry.detail = row.address->address.toString() + " is this host's own address on " + *holder +
                               ": a device given it would be cut off";
            job.settled = true;
        }
        jobs_.push_back(std::move(job));
    }
}

void CliPlan::plan(const std::vector<DeviceRow>& seen, const Inputs& in) {
    before_ = seen;
    const std::span<const PlanRow> plan = in.rows;
    std::vector<std::size_t> queued;
    std::vector<Ipv4> adapters;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        Job& job = jobs_[i];
        PlanEntry& e = job.entry;
        if (job.settled) {
            continue;
        }
        const PlanAction action = planAction(e.row, seen);
        const auto device =
            std::find_if(seen.begin(), seen.end(), [&](const DeviceRow& r) { return r.mac == e.row.mac; });
        if (device != seen.end()) {
            job.device = *device;
            e.before = e.ip = device->ip;
            e.name = device->name;
            e.adapter = adapterName(table_, device->adapterIp);
        }
        const DeviceRow* taker = command_.verify ? takenBy(e.row, seen, plan) : nullptr;
        if (action == PlanAction::Unchanged) {
            e.state = PlanState::Unchanged;
            e.ip = e.before = e.row.address->address;
        } else if (action == PlanAction::NotFound) {
            e.state = PlanState::NotFound;
            e.detail = "no device answered the search";
        } else if (taker != nullptr && !command_.force) {
            e.state = PlanState::Taken;
            e.detail = e.row.address->address.toString() + " is taken: " + formatMac(taker->mac) +
                       " answers from it on " + adapterName(table_, taker->adapterIp) +
                       "; give --force to set it anyway";
        } else {
            if (taker != nullptr) {
                ctx_.console.err(rowName(e.row) + ": " + e.row.address->address.toString() + " is taken: " +
                                 formatMac(taker->mac) + " answers from it; setting it anyway (--force)");
            }
            if (command_.dryRun) {
                e.state = PlanState::Pending;
                job.settled = true;
                continue;
            }
            queued.push_back(i);
            adapters.push_back(device->adapterIp);
            continue;
        }
        job.settled = true;
    }
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (jobs_[i].settled && !jobs_[i].entry.earlier) {
            settle(i);
        }
    }
    runner_->queue(std::move(queued), std::move(adapters), command_.parallel, 1,
                   [this](std::size_t index) { return send(index); });
    writeReport();
}

asio::awaitable<void> CliPlan::send(std::size_t index) {
    Job& job = jobs_[index];
    PlanEntry& e = job.entry;
    const PlanRow& row = e.row;
    const AdapterEntry* found = adapterAt(table_, job.device->adapterIp);
    const AdapterEntry& adapter = found == nullptr ? table_.front() : *found;
    const std::optional<FixedAddress> address = row.address;
    ctx_.console.note(rowName(row) + ": Set IP to " + (address ? address->address.toString() : "DHCP") +
                      " on " + e.adapter);
    // A device found at one of the targets gets the request at its address, across the router.
    std::optional<Ipv4> routed;
    if (sweep_ && sweep_->targets.covers(job.device->ip)) {
        routed = job.device->ip;
    }
    job.sentAt = Clock::now();
    const auto answer = co_await sendSetIp(ctx_, table_, adapter, row.mac, address, command_.retries,
                                           command_.timeout, routed);
    e.seconds = secondsSince(job.sentAt);
    if (!answer) {
        e.state = PlanState::NotSent;
        e.detail = portProblem(adapter.interfaceName, adapter.ip, answer.error());
    } else {
        const Verdict verdict =
            routed ? setIpVerdict(*answer, row.mac, command_.retries + 1, *routed, command_.verify)
                   : setIpVerdict(*answer, row.mac, command_.retries + 1);
        e.state = !answer->has_value()               ? PlanState::TimedOut
                  : verdict.status != ExitStatus::Ok ? PlanState::Refused
                                                     : PlanState::Done;
        e.detail = verdict.status == ExitStatus::Ok ? std::string() : verdict.text;
    }
    // Its answer may be lost on the way back across the router; verified, the device answering
    // from its planned address decides.
    job.lostAnswer = routed && answer && !answer->has_value();
    if (job.lostAnswer && command_.verify) {
        e.state = PlanState::Done;
        e.detail.clear();
    }
    job.okAt = Clock::now();
    job.settled = e.state != PlanState::Done || !command_.verify; // verified: once it is back
    if (e.state == PlanState::Done && !command_.verify) {
        // The OK comes from the address the device has just taken; after DHCP that is unknown.
        e.ip = row.address ? std::optional(row.address->address) : std::nullopt;
    }
    if (job.settled) {
        settle(index);
    }
}

// After the OKs: searches until each device answers from its planned address (DHCP: from any) and
// no other device answers from there, or its time is over. A row whose time ran out while other
// rows were sent still gets one search.
asio::awaitable<void> CliPlan::afterJobs() {
    // An address that another device answered from before the run may still be that device's,
    // whose answer can come after this one's: such a row does not end a search early.
    const auto wasOthers = [this](const PlanRow& row, Ipv4 ip) {
        return std::any_of(before_.begin(), before_.end(),
                           [&](const DeviceRow& d) { return d.ip == ip && d.mac != row.mac; });
    };
    const auto unsettled = [this] {
        std::vector<std::size_t> left;
        for (std::size_t i = 0; i < jobs_.size(); ++i) {
            if (!jobs_[i].settled) {
                left.push_back(i);
            }
        }
        return left;
    };
    std::vector<std::size_t> left = unsettled();
    if (left.empty()) {
        co_return;
    }
    std::vector<DeviceRow> sofar;
    const StopWhen allBack = [&](const DeviceRow& r) {
        sofar.push_back(r);
        return std::all_of(left.begin(), left.end(), [&](std::size_t i) {
            const PlanRow& row = jobs_[i].entry.row;
            const PlanCheck check = checkRow(row, sofar);
            return check.sighting == PlanSighting::Back && !wasOthers(row, check.device->ip);
        });
    };
    const engine::BackCheckDriver::Round round = [&] {
        sofar.clear();
        std::vector<Ipv4> at; // a routed device's new address and its old one
        for (const std::size_t i : left) {
            const PlanEntry& e = jobs_[i].entry;
            at.push_back(e.row.address ? e.row.address->address : *e.before);
            at.push_back(*e.before);
        }
        std::optional<Sweep> sweep;
        if (sweep_) {
            sweep = sweepOf(at, table_, true, sweep_->rate);
        }
        return SearchRequest{table_, engine::kBackSearchWait, allBack, DiscoverySearch::Keying::MacAndAdapter,
                             std::move(sweep)};
    };
    const engine::BackCheckDriver::Judge judge = [&](const SearchSummary& summary) {
        const bool searched = searchSent(ctx_, summary).has_value();
        const std::vector<DeviceRow> none;
        const auto& rows = searched ? summary.rows : none;
        for (const std::size_t i : left) {
            Job& job = jobs_[i];
            PlanEntry& e = job.entry;
            const PlanCheck check = checkRow(e.row, rows);
            if (check.device != nullptr) {
                e.ip = check.device->ip;
            }
            if (check.sighting == PlanSighting::Back || check.sighting == PlanSighting::Shared) {
                e.seconds = secondsSince(job.sentAt);
            } else if (check.sighting == PlanSighting::Elsewhere) {
                job.seenSince = true;
            }
            const bool back = check.sighting == PlanSighting::Back;
            if (!back && searched && Clock::now() < job.okAt + command_.verifyTimeout) {
                continue;
            }
            const std::string after = secondsText(command_.verifyTimeout);
            if (check.sighting == PlanSighting::Shared) {
                e.state = PlanState::Taken;
                e.detail = "said OK and answers from " + e.ip->toString() + ", but after " + after + " " +
                           formatMac(check.other->mac) + " still answers from it too (on " +
                           adapterName(table_, check.other->adapterIp) + ")";
            } else if (!back) {
                e.state = PlanState::NotBack;
                e.detail = !searched ? "said OK, but no search could be sent to see it back"
                           : job.lostAnswer
                               ? "no answer came back across the router, and it did not answer from its "
                                 "planned address within " +
                                     after
                           : job.seenSince
                               ? "said OK but still answers from " + e.ip->toString() + " after " + after
                               : "said OK but did not answer a search within " + after;
            }
            job.settled = true;
            settle(i);
        }
        left = unsettled();
        return left.empty();
    };
    engine::BackCheckDriver back(ctx_.endpoints);
    co_await back.run(round, judge);
}

void CliPlan::settle(std::size_t index) {
    const PlanEntry& e = jobs_[index].entry;
    ctx_.console.note(endedText(rowName(e.row), fleetStateName(e.state), e.detail));
    if (runner_->queued()) { // the rows settled before the requests are written at once after them
        writeReport();
    }
}

namespace {

// --parallel's range: requests side by side, never two on one adapter.
constexpr int kMaxParallelRequests = 11;
constexpr std::array<std::string_view, 4> kOneDevice{"dhcp", "ip", "mask", "gateway"};

} // namespace

ParsedCommandLine parsePlan(const Options& o) {
    if (!o.positionals().empty()) {
        return o.failure("unexpected argument " + quoted(o.positionals().front()) +
                         " (a plan names its devices)");
    }
    for (const std::string_view name : kOneDevice) {
        if (o.isSet(name)) {
            return o.failure("--plan cannot be combined with --" + std::string(name));
        }
    }
    SetIpPlanCommand c;
    if (auto e = fileNames(o, {"plan", "report", "skip-done"})) {
        return *e;
    }
    c.planFile = o.value("plan");
    c.report = o.value("report");
    c.skipDone = o.value("skip-done");
    c.interfaces = o.interfaces();
    if (auto e = verifyAndTargetOptions(o, c)) {
        return *e;
    }
    for (auto e : {o.seconds("timeout", c.timeout), o.seconds("verify-timeout", c.verifyTimeout),
                   o.count("retries", c.retries, 0, kMaxRetries),
                   o.count("parallel", c.parallel, 1, kMaxParallelRequests)}) {
        if (e) {
            return *e;
        }
    }
    return withFormatAndDryRun(o, c);
}

asio::awaitable<ExitStatus> run(CliContext& ctx, const SetIpPlanCommand& command) {
    return runFleetCommand<CliPlan>(ctx, command);
}

} // namespace fw::cli
