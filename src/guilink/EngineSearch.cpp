// SPDX-License-Identifier: GPL-3.0-or-later
#include "guilink/EngineSearch.h"

#include "engine/SearchDriver.h"

namespace fw {

EngineSearch::EngineSearch(EngineLink engine, Host& host, UiQueue& queue)
    : engine_(engine), host_(host), back_(queue) {
    // Each listed row is tagged with the search it answers, read on the engine's thread.
    driver_ = std::make_shared<engine::SearchDriver>(
        engine_.endpoints, [batch = batch_, back = back_.sender(), this](const DeviceRow& row) {
            bool first = false;
            {
                const std::lock_guard lock(batch->mutex);
                batch->rows.emplace_back(batch->listing, row);
                first = batch->rows.size() == 1;
            }
            if (first) { // a new batch: the GUI thread has taken the one before
                back([this] { takeBatch(); });
            }
        });
}

EngineSearch::~EngineSearch() {
    engine_.engine.post([driver = std::move(driver_)] { driver->close(); });
}

void EngineSearch::start(std::uint64_t search, AdapterTable table) {
    engine_.engine.post(
        [driver = driver_, batch = batch_, search, table = std::move(table), back = back_.sender(), this] {
            // Rows listed from here on answer this search: the driver drops the earlier ones' replies.
            batch->listing = search;
            const auto started = driver->start(table);
            // An adapter gone since the listing is no news; one whose port another program holds, or
            // that this process has no socket left for (its descriptor limit), goes unsearched.
            std::vector<HeldPort> held;
            for (const auto& failure : started.unbindable) {
                if (failure.error.kind == SocketError::Kind::PortInUse) {
                    held.push_back({failure.adapter.interfaceName, failure.adapter.ip});
                } else if (failure.error.kind == SocketError::Kind::System) {
                    held.push_back(
                        {failure.adapter.interfaceName, failure.adapter.ip, failure.error.code.message()});
                }
            }
            back([this, search, sequence = started.sequence, held = std::move(held)]() mutable {
                if (listener_ != nullptr) {
                    listener_->searchSent(search, sequence, std::move(held));
                }
            });
        });
}

void EngineSearch::close() {
    engine_.engine.post([driver = driver_] { driver->close(); });
}

void EngineSearch::takeBatch() {
    TaggedRows taken;
    {
        const std::lock_guard lock(batch_->mutex);
        taken.swap(batch_->rows);
    }
    if (listener_ != nullptr && !taken.empty()) {
        listener_->rowsListed(std::move(taken));
    }
}

} // namespace fw
