// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/JobPort.h"
#include "guilink/EngineLink.h"
#include "guilink/UiPost.h"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// Qt's `emit` keyword would eat asio::cancellation_signal::emit in the Qt views that include this.
#pragma push_macro("emit")
#undef emit

namespace fw {

// A window's jobs of one driver on the engine: each start() runs the driver's run(Request, Observer)
// coroutine on the engine's thread, bound to a cancellation signal that cancel(), the next start()
// and the destructor emit there (terminal: the driver closes its sockets and sends nothing more).
// Events are batched: the engine's thread adds to the batch and queues one call only for a new
// batch, so a burst of replies or blocks is a few short turns of the GUI's loop. Made, used and
// destroyed on the GUI thread (not copied); the driver is destroyed on the engine's. After a
// cancel, what the run told before it stopped still reaches the window (a search's last rows).
template <class Driver> class EngineJob final : public JobPort<typename Driver::Job> {
    using Port = JobPort<typename Driver::Job>;
    struct Run {
        asio::cancellation_signal cancel; // the engine's thread only
        std::mutex mutex;
        std::vector<typename Port::Event> batch;
        typename Driver::Observer observer;
    };

public:
    template <class... Args>
    EngineJob(EngineLink engine, UiQueue& queue, Args&&... args)
        : engine_(engine), queue_(queue),
          driver_(std::make_shared<Driver>(engine.endpoints, std::forward<Args>(args)...)) {}
    ~EngineJob() {
        cancel();
        engine_.engine.post([driver = std::move(driver_)] {});
    }

    // The earlier run is cancelled in the engine's turn that starts this one (a search keeps a socket).
    void start(typename Port::Request request, typename Port::Handlers handlers) override {
        auto previous = std::move(run_);
        handlers_ = std::move(handlers);
        post_.emplace(queue_); // drops what the earlier run still had on its way
        run_ = std::make_shared<Run>();
        run_->observer = [run = std::weak_ptr<Run>(run_), back = post_->sender(), this](const auto& event) {
            const auto r = run.lock();
            const std::lock_guard lock(r->mutex);
            r->batch.push_back(event);
            if (r->batch.size() == 1) { // a new batch: the GUI thread has taken the one before
                back([this, r] { takeBatch(*r); });
            }
        };
        engine_.engine.post([driver = driver_, run = run_, previous = std::move(previous),
                             request = std::move(request), back = post_->sender(),
                             executor = engine_.endpoints.executor(), this]() mutable {
            if (previous) {
                previous->cancel.emit(asio::cancellation_type::terminal);
            }
            const auto ended = [driver, run, back, this](std::exception_ptr, typename Port::Outcome outcome) {
                back([this, run, outcome = std::move(outcome)]() mutable {
                    takeBatch(*run);
                    if (run == run_ && handlers_.ended) { // not cancelled
                        handlers_.ended(std::move(outcome));
                    }
                });
            };
            asio::co_spawn(executor, driver->run(std::move(request), run->observer),
                           asio::bind_cancellation_slot(run->cancel.slot(), ended));
        });
    }

    void cancel() override {
        if (run_) {
            engine_.engine.post(
                [run = std::move(run_)] { run->cancel.emit(asio::cancellation_type::terminal); });
        }
    }

    void command(typename Port::Command command) override {
        if constexpr (requires(Driver & d) { d.command(command); }) {
            if (run_) {
                engine_.engine.post(
                    [driver = driver_, command = std::move(command)] { driver->command(command); });
            }
        }
    }

private:
    void takeBatch(Run& run) {
        std::unique_lock lock(run.mutex);
        std::vector<typename Port::Event> taken = std::exchange(run.batch, {});
        lock.unlock();
        if (!taken.empty() && handlers_.events) {
            handlers_.events(std::move(taken));
        }
    }

    EngineLink engine_;
    UiQueue& queue_;
    std::shared_ptr<Driver> driver_; // used and finally destroyed on the engine's thread
    std::optional<UiPost> post_;     // one per run: a new run drops the answers of the one before
    std::shared_ptr<Run> run_;
    typename Port::Handlers handlers_;
};

} // namespace fw

#pragma pop_macro("emit")
