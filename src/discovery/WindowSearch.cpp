// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/WindowSearch.h"

#include "common/StringTable.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchingDialog.h"
#include "engine/SearchDriver.h"
#include "netif/core/AdapterRules.h"

namespace fw {
namespace {

std::string text(Str id) {
    return std::string(loadResString(id));
}

} // namespace

WindowSearch::WindowSearch(Platform& platform, EngineLink engine, ProcessValues& values,
                           DeviceListModel& model, QWidget* dialogParent, QObject* parent)
    : QObject(parent), platform_(platform), engine_(engine), values_(values), model_(model),
      dialogParent_(dialogParent) {
    // Each listed row is tagged with the search it answers, read on the engine's thread.
    driver_ = std::make_shared<engine::SearchDriver>(
        engine_.endpoints, [batch = batch_, back = back_.sender(), this](const DeviceRow& row) {
            bool first = false;
            {
                const std::lock_guard lock(batch->mutex);
                batch->rows.emplace_back(batch->listing, row);
                first = batch->rows.size() == 1;
            }
            if (first) { // a new batch: the window has taken the one before
                back([this] { takeBatch(); });
            }
        });
}

WindowSearch::~WindowSearch() {
    delete dialog_.data();
    engine_.engine.post([driver = std::move(driver_)] { driver->close(); });
}

void WindowSearch::search() {
    model_.clear();
    AdapterSelection selection = selectAdapters(platform_.host.readAdapters());
    if (selection.outcome == AdapterOutcome::Ok && selection.table.empty()) {
        selection.outcome = AdapterOutcome::NoAdapter;
    }
    if (selection.outcome != AdapterOutcome::Ok) {
        failAdapters(selection.outcome);
        return;
    }
    if (selection.table.size() > kMaxAdapters) {
        selection.table.resize(kMaxAdapters);
    }
    values_.adapterTable = std::move(selection.table);
    values_.hostAdapters = std::move(selection.hostAdapters);
    const std::uint64_t search = ++searches_;
    sequence_.reset();

    emit searchStarted();
    engine_.engine.post([driver = driver_, batch = batch_, search, table = values_.adapterTable,
                         back = back_.sender(), this] {
        // Rows listed from here on answer this search: the driver drops the earlier ones' replies.
        batch->listing = search;
        const auto started = driver->start(table);
        back([this, search, sequence = started.sequence] {
            if (search == searches_) {
                sequence_ = sequence;
            }
        });
        std::vector<PortInUse> taken;
        for (const auto& failure : started.unbindable) {
            if (failure.error.kind == engine::SocketError::Kind::PortInUse) {
                taken.push_back({failure.adapter.interfaceName, failure.adapter.ip});
            }
        }
        if (!taken.empty()) {
            back([this, taken] { reportPortsInUse(taken); });
        }
    });
    if (!dialog_) {
        startCountdown();
    }
}

bool WindowSearch::countdownRunning() const {
    return !dialog_.isNull();
}

void WindowSearch::closeDiscoverySockets() {
    engine_.engine.post([driver = driver_] { driver->close(); });
}

void WindowSearch::takeBatch() {
    std::vector<std::pair<std::uint64_t, DeviceRow>> taken;
    {
        const std::lock_guard lock(batch_->mutex);
        taken.swap(batch_->rows);
    }
    std::vector<DeviceRow> rows;
    rows.reserve(taken.size());
    for (auto& [search, row] : taken) {
        if (search == searches_) { // else it answered a search before the list was emptied
            rows.push_back(std::move(row));
        }
    }
    if (!rows.empty()) {
        model_.appendRows(std::move(rows));
        emit rowAdded(model_.rowCount() - 1);
    }
}

void WindowSearch::failAdapters(AdapterOutcome outcome) {
    const Str id = outcome == AdapterOutcome::StatusError ? Str::AdapterStatusError : Str::NoAdapter;
    platform_.messages.show(
        dialogParent_, Message{text(id), text(Str::Product), MessageIcon::None, MessageButtons::Ok, false});
    emit adapterFailure(outcome);
}

// Another program on port 4001 would take the devices' answers on that adapter: without a word the
// empty list would read as "no devices there".
void WindowSearch::reportPortsInUse(const std::vector<PortInUse>& adapters) {
    std::string lines;
    for (const PortInUse& adapter : adapters) {
        if (!lines.empty()) {
            lines += '\n';
        }
        lines += adapter.interfaceName + " (" + toText(adapter.ip) + "): " + text(Str::SearchPortInUse);
    }
    platform_.messages.show(dialogParent_, Message{lines, text(Str::Product), MessageIcon::Exclamation,
                                                   MessageButtons::Ok, false});
}

void WindowSearch::startCountdown() {
    auto* dialog = new SearchingDialog(dialogParent_);
    dialog_ = dialog;
    connect(dialog, &SearchingDialog::countdownEnded, this, [this] {
        dialog_.clear();
        emit searchFinished();
    });
    dialog->start();
}

} // namespace fw
