// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/SearchPort.h"
#include "guilink/EngineLink.h"
#include "guilink/UiPost.h"
#include "platform/Host.h"

#include <memory>
#include <mutex>

namespace fw {

namespace engine {
class SearchDriver;
}

// The window's searches on the engine: its search driver owns the sockets and the replies. Rows come
// back in batches: the engine's thread adds to the batch and queues one call for it, the GUI thread
// takes the whole batch at once, so a burst of a thousand replies is a few short turns of the event
// loop instead of a thousand queued calls handled in one go.
class EngineSearch final : public SearchPort {
public:
    EngineSearch(EngineLink engine, Host& host, UiQueue& queue);
    ~EngineSearch(); // the sockets close on the engine's thread
    EngineSearch(const EngineSearch&) = delete;
    EngineSearch& operator=(const EngineSearch&) = delete;

    void listen(Listener& listener) override { listener_ = &listener; }
    AdapterListing readAdapters() override { return host_.readAdapters(); }
    void start(std::uint64_t search, AdapterTable table) override;
    void close() override;

private:
    struct Batch {
        std::mutex mutex;
        TaggedRows rows;
        std::uint64_t listing = 0; // the search the driver lists rows for: the engine's thread only
    };
    void takeBatch();

    EngineLink engine_;
    Host& host_;
    Listener* listener_ = nullptr;
    // Used and finally destroyed on the engine's thread.
    std::shared_ptr<engine::SearchDriver> driver_;
    std::shared_ptr<Batch> batch_ = std::make_shared<Batch>();
    UiPost back_;
};

} // namespace fw
