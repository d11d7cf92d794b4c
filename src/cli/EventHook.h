// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <asio/any_io_executor.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace fw::cli {

// watch --on-event: each event handed to a command, one after another in the order they came, on a
// thread of its own so that a slow or hanging hook never holds up a search. The command gets the
// event as one JSON object on its standard input and FERNWICK_EVENT, FERNWICK_MAC and FERNWICK_IP
// in its environment; it is ended after the time-out. At most kQueueLimit events wait; further ones
// are dropped and counted. Every failure is said through `say`, on the executor's thread.
class EventHook {
public:
    static constexpr std::size_t kQueueLimit = 1000;

    struct Call {
        std::string event; // "new", "gone", ...
        std::string json;  // the whole event, one line
        std::string mac;   // empty when the event names no one device
        std::string ip;
    };

    EventHook(std::vector<std::string> words, std::chrono::milliseconds timeout,
              asio::any_io_executor executor, std::function<void(const std::string&)> say);
    // The running hook is let finish (within its time-out); the events still waiting are not
    // passed, and counted.
    ~EventHook();
    EventHook(const EventHook&) = delete;
    EventHook& operator=(const EventHook&) = delete;

    void pass(Call call);

private:
    void work();
    void report(const std::string& text); // on the executor's thread, or at once when stopping
    std::string failure(const Call& call, const std::string& what) const;

    std::vector<std::string> words_;
    std::chrono::milliseconds timeout_;
    asio::any_io_executor executor_;
    std::function<void(const std::string&)> say_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Call> queue_;
    std::size_t dropped_ = 0;
    bool stopping_ = false;
    std::thread worker_; // last: started once the rest is made
};

} // namespace fw::cli
