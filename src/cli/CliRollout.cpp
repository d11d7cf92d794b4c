// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRollout.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/CliUpgrade.h"
#include "cli/DeviceReport.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/RolloutBackCheck.h"

#include <QTimer>

#include <algorithm>
#include <set>

namespace fw::cli {
namespace {

// The search that finds the devices, as for one upgrade. The searches for a device coming back
// after its upload ask one device on the adapter's own segment, which answers within milliseconds:
// one that stays unanswered for a second means the device is silent (restarting). They are 0.5 s
// apart.
constexpr std::chrono::milliseconds kSearchWait{3000};
constexpr std::chrono::milliseconds kBackSearchWait{1000};
constexpr std::chrono::milliseconds kBackPause{500};
constexpr std::chrono::milliseconds kRefresh{200};

} // namespace

struct CliRollout::BackWait {
    QElapsedTimer since; // from the upload's end
    RolloutBackCheck check;
};

CliRollout::CliRollout(EndpointFactory makeEndpoint, Shell& shell, Console& console, QObject* parent)
    : QObject(parent), makeEndpoint_(std::move(makeEndpoint)), shell_(shell), console_(console) {
    refresh_.setInterval(kRefresh);
    connect(&refresh_, &QTimer::timeout, this, &CliRollout::render);
}

// On a terminal, one line for every running upload: its device and its bar, or side by side the
// percent, retransmissions and timeouts of each.
void CliRollout::render() {
    std::erase_if(running_, [](const QPointer<CliUpgrade>& u) { return u.isNull(); });
    if (running_.empty() || !console_.progressOnTerminal()) {
        return;
    }
    const int width = console_.width() - 1;
    const int share = width / static_cast<int>(running_.size());
    std::string line;
    for (const auto& u : running_) {
        const std::string label = (line.empty() ? "" : " | ") + u->objectName().toStdString() + " ";
        line += label + u->progressView(share - static_cast<int>(label.size()));
    }
    console_.progress(line.substr(0, static_cast<std::size_t>(std::max(0, width))));
}

void CliRollout::start(const RolloutCommand& command, AdapterTable table, std::vector<std::uint8_t> image,
                       std::vector<DeviceTarget> targets, std::vector<RolloutEntry> earlier) {
    command_ = command;
    table_ = std::move(table);
    file_ = {ImageFile::State::Read, std::move(image)};
    report_.emplace(command_.image, file_.bytes);
    auto* search = new CliSearch(makeEndpoint_, table_, this);
    // Named devices only: the search may end as soon as each has answered.
    auto missing = std::make_shared<std::vector<DeviceTarget>>(targets);
    std::function<bool(const DeviceRow&)> allSeen;
    if (!command_.allAp && !command_.allBridge) {
        allSeen = [missing](const DeviceRow& row) {
            std::erase_if(*missing, [&](const DeviceTarget& t) { return matches(t, row); });
            return missing->empty();
        };
    }
    connect(search, &CliSearch::finished, this, [this, search, targets, earlier] {
        search->deleteLater();
        if (!reportSearchSent(*search)) {
            return;
        }
        plan(search->rows(), targets, earlier);
        startNext();
    });
    search->start(kSearchWait, allSeen);
}

bool CliRollout::reportSearchSent(const CliSearch& search) {
    for (const auto& failure : search.bindFailures()) {
        console_.err(portProblem(failure.adapter, failure.error));
    }
    if (search.requestsSent() == 0) {
        console_.err("no discovery request could be sent");
        over_ = true;
        emit finished(ExitStatus::Usage);
        return false;
    }
    return true;
}

// The jobs in order: the named devices, then the searched kinds by address; one job per device.
void CliRollout::plan(const std::vector<DeviceRow>& rows, const std::vector<DeviceTarget>& targets,
                      const std::vector<RolloutEntry>& earlier) {
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
        const RolloutEntry* silentDone =
            row == nullptr ? earlierDone([&](const RolloutEntry& e) { return e.target == job.entry.target; })
                           : nullptr;
        if (silentDone != nullptr) {
            job.entry = *silentDone;
            console_.note(job.entry.target + ": done in an earlier run; left out");
            jobs_.push_back(std::move(job));
            return;
        }
        if (row == nullptr) {
            job.entry.state = RolloutState::NotFound;
            job.entry.detail = "no device answered the search";
            jobs_.push_back(std::move(job));
            return;
        }
        job.row = *row;
        job.entry.mac = row->mac;
        job.entry.ip = row->ip;
        job.entry.name = row->name;
        job.entry.adapter = adapterName(table_, row->adapterIp);
        if (const RolloutEntry* done =
                earlierDone([&](const RolloutEntry& e) { return e.mac == row->mac; })) {
            job.entry = *done;
            console_.note(job.entry.target + ": done in an earlier run; left out");
            jobs_.push_back(std::move(job));
            return;
        }
        const ImageDecision decision = checkImage(command_.image, file_, row->kind);
        if (decision.kind != ImageDecision::Kind::Accept) {
            if (!command_.yes) {
                job.entry.state = RolloutState::Skipped;
                job.entry.detail = decision.message.text + " Left out; give --yes to upload it anyway.";
                jobs_.push_back(std::move(job));
                return;
            }
            console_.err(job.entry.target + ": " + decision.message.text + " Uploading, as --yes was given.");
        }
        job.upload = true;
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
    std::vector<Ipv4> adapters;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (jobs_[i].upload) {
            queued_.push_back(i);
            adapters.push_back(jobs_[i].row->adapterIp);
        } else {
            jobs_[i].settled = true;
        }
    }
    queue_.emplace(std::move(adapters), command_.parallel);
    writeReport();
}

void CliRollout::startNext() {
    while (const auto slot = queue_->next()) {
        upload(queued_[*slot]);
    }
    if (queue_->over() && !over_) {
        over_ = true;
        refresh_.stop();
        std::vector<RolloutEntry> entries;
        for (const Job& j : jobs_) {
            entries.push_back(j.entry);
        }
        console_.endProgress();
        const std::string table = RolloutReport::summary(entries);
        std::fwrite(table.data(), 1, table.size(), stdout);
        std::fflush(stdout);
        if (jobs_.empty()) {
            console_.err("no device to upgrade");
        }
        if (!reportError_.empty()) {
            console_.err(command_.report + ": the report could not be written (" + reportError_ +
                         "); the table above is this run's record");
        }
        const bool allDone = !jobs_.empty() && reportError_.empty() &&
                             std::all_of(jobs_.begin(), jobs_.end(),
                                         [](const Job& j) { return j.entry.state == RolloutState::Done; });
        emit finished(allDone ? ExitStatus::Ok : ExitStatus::Negative);
    }
}

void CliRollout::upload(std::size_t index) {
    Job& job = jobs_[index];
    console_.note(job.entry.target + ": upgrading " +
                  (job.row->name.empty() ? std::string("device") : "'" + printableText(job.row->name) + "'") +
                  " at " + job.row->ip.toString() + " (" + formatMac(job.row->mac) + ", " +
                  kindName(*job.row) + ") on " + job.entry.adapter);
    auto* upgrade = new CliUpgrade(makeEndpoint_, shell_, console_, job.entry.target, this);
    upgrade->setObjectName(QString::fromStdString(job.entry.target));
    running_.emplace_back(upgrade);
    refresh_.start();
    connect(upgrade, &CliUpgrade::finished, this, [this, upgrade, index](ExitStatus) {
        upgrade->deleteLater();
        std::erase(running_, QPointer<CliUpgrade>(upgrade));
        RolloutEntry& e = jobs_[index].entry;
        const auto& counters = upgrade->counters();
        e.bytes = counters.bytesAcknowledged;
        e.retransmissions = counters.retransmissions;
        e.timeouts = counters.timeouts;
        e.uploadSeconds = upgrade->seconds();
        e.detail = upgrade->errorText();
        const auto state = rolloutStateOf(upgrade->outcome(), counters);
        if (state) {
            e.state = *state;
            if (*state == RolloutState::TimedOut && e.detail.empty()) {
                e.detail = "Time Out";
            }
            settle(index);
            return;
        }
        auto wait = std::make_shared<BackWait>(
            BackWait{QElapsedTimer(), RolloutBackCheck(!command_.noRestart, command_.backTimeout)});
        wait->since.start();
        console_.note(e.target + (command_.noRestart
                                      ? ": uploaded; waiting for it to answer a search again"
                                      : ": uploaded; waiting for it to restart and answer again"));
        awaitBack(index, wait);
    });
    upgrade->begin(job.row->ip, job.row->adapterIp, job.entry.adapter, file_.bytes);
}

// Searches on the device's own adapter until the back check has its answer: the device went
// silent and answers by its MAC again, or the back timeout passed. No other upload runs on that
// adapter meanwhile, so no other search of this rollout holds its port.
void CliRollout::awaitBack(std::size_t index, std::shared_ptr<BackWait> wait) {
    const Job& job = jobs_[index];
    AdapterTable own;
    std::copy_if(table_.begin(), table_.end(), std::back_inserter(own),
                 [&](const AdapterEntry& a) { return a.ip == job.row->adapterIp; });
    auto* search = new CliSearch(makeEndpoint_, own, this);
    const MacAddress mac = job.row->mac;
    connect(search, &CliSearch::finished, this, [this, search, index, wait, mac] {
        search->deleteLater();
        RolloutEntry& e = jobs_[index].entry;
        const auto& rows = search->rows();
        const auto back =
            std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == mac; });
        const auto elapsed = std::chrono::milliseconds(wait->since.elapsed());
        // A search that could not be sent (port 4001 held meanwhile) says nothing about the device.
        const bool unsent = search->requestsSent() == 0 && elapsed < command_.backTimeout;
        const auto state = unsent ? std::nullopt : wait->check.searched(back != rows.end(), elapsed);
        if (!state) {
            QTimer::singleShot(kBackPause, this, [this, index, wait] { awaitBack(index, wait); });
            return;
        }
        e.state = *state;
        e.backSeconds = static_cast<double>(elapsed.count()) / 1000;
        if (*state == RolloutState::Done) {
            e.ip = back->ip;
        } else if (*state == RolloutState::NotRestarted) {
            e.detail = "uploaded, but it answered searches throughout the back timeout and never restarted";
        } else {
            e.detail = command_.noRestart
                           ? "uploaded, but did not answer a search again in time"
                           : "uploaded and went silent, but did not answer a search again in time";
        }
        settle(index);
    });
    search->start(kBackSearchWait, [mac](const DeviceRow& r) { return r.mac == mac; });
}

void CliRollout::settle(std::size_t index) {
    jobs_[index].settled = true;
    const RolloutEntry& e = jobs_[index].entry;
    console_.note(e.target + ": " + std::string(rolloutStateName(e.state)) +
                  (e.detail.empty() ? "" : " (" + e.detail + ")"));
    writeReport();
    const auto slot = std::find(queued_.begin(), queued_.end(), index);
    queue_->finished(static_cast<std::size_t>(slot - queued_.begin()));
    startNext();
}

void CliRollout::writeReport() {
    if (command_.report.empty() || !reportError_.empty()) {
        return;
    }
    std::vector<RolloutEntry> entries;
    for (const Job& j : jobs_) {
        if (j.settled) {
            entries.push_back(j.entry);
        }
    }
    std::string error;
    if (!report_->save(command_.report, entries, error)) {
        reportError_ = error.empty() ? "unknown error" : error;
        console_.err(command_.report + ": " + reportError_ + "; no further device is started");
        stopStarting();
    }
}

// Without a report a resumed rollout would upload again to what is done: nothing more starts, the
// uploads under way end as usual.
void CliRollout::stopStarting() {
    if (!queue_) {
        return;
    }
    for (const std::size_t slot : queue_->dropWaiting()) {
        Job& job = jobs_[queued_[slot]];
        job.entry.state = RolloutState::NotSent;
        job.entry.detail = "the rollout stopped: its report could not be written";
        job.settled = true;
    }
}

} // namespace fw::cli
