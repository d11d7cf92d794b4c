// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRollout.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/CliUpgrade.h"
#include "cli/DeviceReport.h"
#include "upgrade/core/ImageCheck.h"

#include <QTimer>

#include <algorithm>
#include <set>

namespace fw::cli {
namespace {

// The search that finds the devices, as for one upgrade; the searches for a device coming back
// after its upload are as long, at most, and 0.5 s apart.
constexpr std::chrono::milliseconds kSearchWait{3000};
constexpr std::chrono::milliseconds kBackPause{500};
constexpr std::chrono::milliseconds kRefresh{200};

} // namespace

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
    auto earlierDone = [&](auto&& same) {
        return std::find_if(earlier.begin(), earlier.end(), same);
    };
    auto add = [&](std::string target, const DeviceRow* row) {
        if (row != nullptr && !planned.insert(row->mac).second) {
            return;
        }
        Job job;
        job.entry.target = std::move(target);
        // Done earlier but silent now (a device still restarting, say): still done.
        const auto silentDone =
            earlierDone([&](const RolloutEntry& e) { return e.target == job.entry.target; });
        if (row == nullptr && silentDone != earlier.end()) {
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
        const auto done = earlierDone([&](const RolloutEntry& e) { return e.mac == row->mac; });
        if (done != earlier.end()) {
            job.entry = *done;
            console_.note(job.entry.target + ": done in an earlier run; left out");
            jobs_.push_back(std::move(job));
            return;
        }
        const ImageDecision decision = checkImage(command_.image, file_, row->isAp);
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
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(kinds),
                 [&](const DeviceRow& r) { return r.isAp ? command_.allAp : command_.allBridge; });
    std::sort(kinds.begin(), kinds.end(),
              [](const DeviceRow& a, const DeviceRow& b) { return a.ip.toHostOrder() < b.ip.toHostOrder(); });
    for (const DeviceRow& r : kinds) {
        add(formatMac(r.mac), &r);
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
        const bool allDone = !jobs_.empty() && std::all_of(jobs_.begin(), jobs_.end(), [](const Job& j) {
            return j.entry.state == RolloutState::Done;
        });
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
        auto since = std::make_shared<QElapsedTimer>();
        since->start();
        console_.note(e.target + ": uploaded; waiting for it to answer a search again");
        awaitBack(index, since);
    });
    upgrade->begin(job.row->ip, job.row->adapterIp, file_.bytes);
}

// Searches on the device's own adapter until it answers by its MAC or the back timeout passes.
// No other upload runs on that adapter meanwhile, so no other search of this rollout holds its port.
void CliRollout::awaitBack(std::size_t index, std::shared_ptr<QElapsedTimer> since) {
    const Job& job = jobs_[index];
    AdapterTable own;
    std::copy_if(table_.begin(), table_.end(), std::back_inserter(own),
                 [&](const AdapterEntry& a) { return a.ip == job.row->adapterIp; });
    const auto left = command_.backTimeout - std::chrono::milliseconds(since->elapsed());
    auto* search = new CliSearch(makeEndpoint_, own, this);
    const MacAddress mac = job.row->mac;
    connect(search, &CliSearch::finished, this, [this, search, index, since, mac] {
        search->deleteLater();
        RolloutEntry& e = jobs_[index].entry;
        const auto& rows = search->rows();
        const auto back =
            std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == mac; });
        if (back != rows.end()) {
            e.state = RolloutState::Done;
            e.ip = back->ip;
            e.backSeconds = static_cast<double>(since->elapsed()) / 1000;
            settle(index);
            return;
        }
        if (std::chrono::milliseconds(since->elapsed()) >= command_.backTimeout) {
            e.state = RolloutState::NotBack;
            e.backSeconds = static_cast<double>(since->elapsed()) / 1000;
            e.detail = "uploaded, but did not answer a search again in time";
            settle(index);
            return;
        }
        QTimer::singleShot(kBackPause, this, [this, index, since] { awaitBack(index, since); });
    });
    search->start(std::clamp(left, std::chrono::milliseconds(1), kSearchWait),
                  [mac](const DeviceRow& r) { return r.mac == mac; });
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
    if (command_.report.empty()) {
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
        console_.err(command_.report + ": " + error);
    }
}

} // namespace fw::cli
