// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SearchCycle.h"

#include "common/StringTable.h"
#include "netif/AdapterRules.h"

namespace fw {
namespace {

std::string text(Str id) {
    return std::string(loadResString(id));
}

} // namespace

SearchCycle::SearchCycle(JobPort<SearchJob>& port, DeviceRows& rows, View& view, Events& events)
    : port_(port), rows_(rows), view_(view), events_(events) {}

void SearchCycle::search() {
    rows_.clear();
    AdapterSelection selection = selectAdapters(view_.readAdapters());
    if (selection.outcome == AdapterOutcome::Ok && selection.table.empty()) {
        selection.outcome = AdapterOutcome::NoAdapter;
    }
    if (selection.outcome != AdapterOutcome::Ok) {
        failAdapters(selection.outcome);
        return;
    }
    const std::uint64_t search = ++searches_;
    sequence_.reset();
    events_.searchStarted({selection.table, std::move(selection.hostAdapters)});
    port_.start(
        SearchJob::Request{std::move(selection.table), std::nullopt, {}, DiscoverySearch::Keying::Sender, {}},
        {[this, search](std::vector<SearchJob::Event> events) { heard(search, std::move(events)); }, {}});
    if (!countdownRunning_) {
        countdownRunning_ = true;
        view_.startCountdown();
    }
}

void SearchCycle::countdownEnded() {
    countdownRunning_ = false;
    events_.searchFinished();
}

void SearchCycle::heard(std::uint64_t search, std::vector<SearchJob::Event> events) {
    if (search != searches_) {
        return; // it answered a search before the list was emptied
    }
    std::vector<DeviceRow> rows;
    for (auto& event : events) {
        if (auto* row = std::get_if<DeviceRow>(&event)) {
            rows.push_back(std::move(*row));
        } else {
            searchSent(std::get<SearchJob::Started>(event));
        }
    }
    if (rows.empty()) {
        return;
    }
    rows_.appendRows(std::move(rows));
    events_.rowsAdded(rows_.count() - 1);
}

// Another program on port 4001 would take the devices' answers on that adapter, and an adapter
// without a socket hears nothing: without a word the empty list would read as "no devices there".
// An adapter gone since the listing is no news.
void SearchCycle::searchSent(const SearchJob::Started& started) {
    sequence_ = started.sequence;
    std::string lines;
    for (const SocketError& failure : started.unbindable) {
        if (failure.kind == SocketError::Kind::NoSuchAdapter) {
            continue;
        }
        if (!lines.empty()) {
            lines += '\n';
        }
        lines += failure.adapter.interfaceName + " (" + toText(failure.adapter.ip) + "): " +
                 (failure.kind == SocketError::Kind::PortInUse
                      ? text(Str::SearchPortInUse)
                      : text(Str::PortUnusable) + " " + failure.code.message());
    }
    if (!lines.empty()) {
        view_.showMessage(
            Message{lines, text(Str::Product), MessageIcon::Exclamation, MessageButtons::Ok, false});
    }
}

void SearchCycle::failAdapters(AdapterOutcome outcome) {
    const Str id = outcome == AdapterOutcome::StatusError ? Str::AdapterStatusError : Str::NoAdapter;
    view_.showMessage(Message{text(id), text(Str::Product), MessageIcon::None, MessageButtons::Ok, false});
    events_.adapterFailure(outcome);
}

} // namespace fw
