// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliWatch.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/DeviceReport.h"
#include "cli/WatchReport.h"
#include "platform/TerminationSignals.h"

#include <algorithm>
#include <cstdio>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;

// A search waits for answers for half the interval, at most the window's 3 s, so that between two
// searches port 4001 is free for set-ip or upgrade.
constexpr std::chrono::milliseconds kLongestWait{3000};
constexpr std::size_t kRecentLines = 10;

void write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

CliWatch::CliWatch(Console& console, std::function<AdapterListing()> listAdapters,
                   EndpointFactory makeEndpoint, WatchCommand command, QObject* parent)
    : QObject(parent), console_(console), listAdapters_(std::move(listAdapters)),
      makeEndpoint_(std::move(makeEndpoint)), command_(std::move(command)), inventory_(command_.missed),
      live_(command_.format == WatchFormat::Table && console.progressOnTerminal()) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &CliWatch::search);
}

CliWatch::~CliWatch() = default;

void CliWatch::start() {
    const auto choice = chooseAdapters(listAdapters_(), command_.interfaces);
    const auto* selection = std::get_if<AdapterSelection>(&choice);
    if (selection == nullptr || selection->outcome != AdapterOutcome::Ok) {
        console_.err(selection == nullptr ? std::get<std::string>(choice) : "no usable adapter to search on");
        done_ = true;
        emit finished(ExitStatus::Usage);
        return;
    }
    signals_ = new TerminationSignals(this);
    connect(signals_, &TerminationSignals::received, this, &CliWatch::stop);
    search();
}

void CliWatch::search() {
    if (done_) {
        return;
    }
    startedAt_ = std::chrono::steady_clock::now();
    // Read again each time: adapters come and go, and addresses change, during a long watch.
    const auto choice = chooseAdapters(listAdapters_(), command_.interfaces);
    const auto* selection = std::get_if<AdapterSelection>(&choice);
    if (selection == nullptr || selection->outcome != AdapterOutcome::Ok) {
        console_.err(selection == nullptr ? std::get<std::string>(choice)
                                          : "no usable adapter to search on; trying again");
        next_.start(command_.interval);
        return;
    }
    const AdapterTable table = selection->table;
    auto* s = new CliSearch(makeEndpoint_, table, this, DiscoverySearch::Keying::MacAndAdapter);
    current_ = s;
    connect(s, &CliSearch::finished, this, [this, s, table] { searched(s, table); });
    s->start(std::min(kLongestWait, command_.interval / 2));
}

void CliWatch::searched(CliSearch* search, const AdapterTable& table) {
    search->deleteLater();
    current_ = nullptr;
    std::vector<Ipv4> unsearched;
    std::vector<std::string> problems;
    for (const auto& failure : search->bindFailures()) {
        if (const auto ip = failure.adapter.ip) {
            unsearched.push_back(*ip);
        }
        problems.push_back(portProblem(failure.adapter, failure.error));
    }
    if (problems != lastPortProblems_) {
        for (const std::string& p : problems) {
            console_.err(p + "; its devices are not counted as missing");
        }
        lastPortProblems_ = problems;
    }
    // Addresses of earlier searches stay nameable: a device gone behind an adapter that has since
    // lost its address is still said to be on that adapter, not on a bare address.
    AdapterTable named = table;
    for (const AdapterEntry& e : named_) {
        if (std::none_of(table.begin(), table.end(), [&](const AdapterEntry& t) { return t.ip == e.ip; })) {
            named.push_back(e);
        }
    }
    named_ = std::move(named);
    report(inventory_.update(search->rows(), table, unsearched), named_);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startedAt_);
    next_.start(std::max(std::chrono::milliseconds(0), command_.interval - elapsed));
}

void CliWatch::report(const std::vector<DeviceInventory::Event>& events, const AdapterTable& table) {
    for (const Event& e : events) {
        const auto now = std::chrono::system_clock::now();
        if (command_.format == WatchFormat::Jsonl) {
            write(watchJsonLine(e, table, now) + "\n");
        } else if (!live_) {
            write(watchPlainLine(e, table, now) + "\n");
        } else {
            recent_.push_back(watchPlainLine(e, table, now));
            if (recent_.size() > kRecentLines) {
                recent_.pop_front();
            }
        }
    }
    if (live_) {
        redraw(table);
    }
}

void CliWatch::redraw(const AdapterTable& table) {
    const auto devices = inventory_.devices();
    // Home, clear the screen, then the whole view: it never scrolls, however often it is drawn.
    std::string view = "\x1b[H\x1b[2J";
    view += "fernwick-cli watch: " + std::to_string(devices.size()) + " device" +
            (devices.size() == 1 ? "" : "s") + ", last search " +
            localClock(std::chrono::system_clock::now()) + " (Ctrl+C ends)\n\n";
    if (!devices.empty()) {
        view += formatDevices(devices, table, OutputFormat::Table);
    }
    if (!recent_.empty()) {
        view += "\nRecent events:\n";
        for (const std::string& line : recent_) {
            view += line + "\n";
        }
    }
    write(view);
}

void CliWatch::stop() {
    if (done_) {
        return;
    }
    done_ = true;
    next_.stop();
    delete current_; // closes its sockets
    emit finished(ExitStatus::Ok);
}

} // namespace fw::cli
