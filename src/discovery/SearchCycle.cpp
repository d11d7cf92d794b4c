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

SearchCycle::SearchCycle(SearchPort& port, ProcessValues& values, DeviceRows& rows, View& view)
    : port_(port), values_(values), rows_(rows), view_(view) {
    port_.listen(*this);
}

void SearchCycle::search() {
    rows_.clear();
    AdapterSelection selection = selectAdapters(port_.readAdapters());
    if (selection.outcome == AdapterOutcome::Ok && selection.table.empty()) {
        selection.outcome = AdapterOutcome::NoAdapter;
    }
    if (selection.outcome != AdapterOutcome::Ok) {
        failAdapters(selection.outcome);
        return;
    }
    values_.adapterTable = std::move(selection.table);
    values_.hostAdapters = std::move(selection.hostAdapters);
    const std::uint64_t search = ++searches_;
    sequence_.reset();
    if (events_ != nullptr) {
        events_->searchStarted();
    }
    port_.start(search, values_.adapterTable);
    if (!countdownRunning_) {
        countdownRunning_ = true;
        view_.startCountdown();
    }
}

void SearchCycle::countdownEnded() {
    countdownRunning_ = false;
    if (events_ != nullptr) {
        events_->searchFinished();
    }
}

// Another program on port 4001 would take the devices' answers on that adapter, and an adapter
// without a socket hears nothing: without a word the empty list would read as "no devices there".
void SearchCycle::searchSent(std::uint64_t search, std::int16_t sequence,
                             std::vector<SearchPort::HeldPort> held) {
    if (search == searches_) {
        sequence_ = sequence;
    }
    if (held.empty()) {
        return;
    }
    std::string lines;
    for (const SearchPort::HeldPort& adapter : held) {
        if (!lines.empty()) {
            lines += '\n';
        }
        lines += adapter.interfaceName + " (" + toText(adapter.ip) + "): " +
                 (adapter.reason.empty() ? text(Str::SearchPortInUse)
                                         : text(Str::PortUnusable) + " " + adapter.reason);
    }
    view_.showMessage(
        Message{lines, text(Str::Product), MessageIcon::Exclamation, MessageButtons::Ok, false});
}

void SearchCycle::rowsListed(SearchPort::TaggedRows tagged) {
    std::vector<DeviceRow> rows;
    rows.reserve(tagged.size());
    for (auto& [search, row] : tagged) {
        if (search == searches_) { // else it answered a search before the list was emptied
            rows.push_back(std::move(row));
        }
    }
    if (rows.empty()) {
        return;
    }
    rows_.appendRows(std::move(rows));
    if (events_ != nullptr) {
        events_->rowsAdded(rows_.count() - 1);
    }
}

void SearchCycle::failAdapters(AdapterOutcome outcome) {
    const Str id = outcome == AdapterOutcome::StatusError ? Str::AdapterStatusError : Str::NoAdapter;
    view_.showMessage(Message{text(id), text(Str::Product), MessageIcon::None, MessageButtons::Ok, false});
    if (events_ != nullptr) {
        events_->adapterFailure(outcome);
    }
}

} // namespace fw
