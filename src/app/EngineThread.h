// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <thread>

namespace fw {

// The windows' I/O thread: one Asio context run on a thread of its own for the life of this object,
// so that the GUI thread never waits on a socket. Windows hand it jobs with post(); what a job finds
// comes back to the GUI thread through a GuiPost. Made on the thread whose network namespace the
// sockets must see (the thread inherits it).
class EngineThread {
public:
    EngineThread();
    ~EngineThread(); // stops the context (pending jobs are dropped) and joins the thread
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    asio::io_context& context() { return context_; }
    template <typename F> void post(F&& job) { asio::post(context_, std::forward<F>(job)); }

private:
    asio::io_context context_{1};
    asio::executor_work_guard<asio::io_context::executor_type> work_{context_.get_executor()};
    std::thread thread_;
};

} // namespace fw
