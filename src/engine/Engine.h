// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AsioEndpointFactory.h"

#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

namespace fw::engine {

// The one I/O engine: an io_context, its real sockets, and the thread that runs it. Every driver,
// socket and timer lives on that thread; other threads reach it by post() only.
//   CLI:    Engine e; int status = e.run(command(e.endpoints()));      runs on the calling thread
//   window: Engine e; e.startThread(); e.post([&] { ... });  ...  e.stop();
class Engine {
public:
    Engine();
    ~Engine(); // stop()
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    asio::io_context& context() { return context_; }
    asio::any_io_executor executor() { return context_.get_executor(); }
    EndpointFactory& endpoints() { return endpoints_; }

    // Runs `task` on the calling thread until it has returned, and returns its result (rethrows
    // what it threw). Other work still queued then is left. Not while startThread() runs.
    template <class T> T run(asio::awaitable<T> task) {
        std::optional<T> result;
        std::exception_ptr thrown;
        asio::co_spawn(context_, std::move(task), [&](std::exception_ptr e, T value) {
            thrown = e;
            if (!e) {
                result.emplace(std::move(value));
            }
            context_.stop();
        });
        context_.restart();
        context_.run();
        if (thrown) {
            std::rethrow_exception(thrown);
        }
        return std::move(*result);
    }

    // Runs the engine on a thread of its own until stop(); it waits for work meanwhile.
    void startThread();
    // Ends the thread and joins it. Handlers queued but not yet run are dropped. Idempotent.
    void stop();

    // Queues fn to run on the engine's thread; safe from any thread.
    template <class F> void post(F&& fn) { asio::post(context_, std::forward<F>(fn)); }

private:
    asio::io_context context_{1}; // one thread runs it: no locking inside
    AsioEndpointFactory endpoints_{context_};
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    std::thread thread_;
};

} // namespace fw::engine
