// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/EventHook.h"

#include "cli/CommandOptions.h"
#include "platform/ChildProcess.h"

#include <asio/post.hpp>

namespace fw::cli {

EventHook::EventHook(std::vector<std::string> words, std::chrono::milliseconds timeout,
                     asio::any_io_executor executor, std::function<void(const std::string&)> say)
    : words_(std::move(words)), timeout_(timeout), executor_(std::move(executor)), say_(std::move(say)),
      worker_([this] { work(); }) {}

EventHook::~EventHook() {
    std::size_t waiting = 0;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting = queue_.size();
        queue_.clear();
    }
    wake_.notify_one();
    worker_.join();
    if (dropped_ > 0) {
        say_("--on-event: " + std::to_string(dropped_) + " event" + (dropped_ == 1 ? " was" : "s were") +
             " dropped: " + std::to_string(kQueueLimit) + " were already waiting for the hook");
    }
    if (waiting > 0) {
        say_("--on-event: " + std::to_string(waiting) + " event" + (waiting == 1 ? " was" : "s were") +
             " not passed to the hook: watch ended first");
    }
}

void EventHook::pass(Call call) {
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= kQueueLimit) {
            ++dropped_;
            return;
        }
        queue_.push_back(std::move(call));
    }
    wake_.notify_one();
}

void EventHook::report(const std::string& text) {
    // While the destructor waits for this thread, the executor's thread is in it: say it here.
    if (const std::lock_guard lock(mutex_); stopping_) {
        say_(text);
        return;
    }
    asio::post(executor_, [say = say_, text] { say(text); });
}

std::string EventHook::failure(const Call& call, const std::string& what) const {
    return "--on-event: " + quoted(words_.front()) + " " + what + " (the " + call.event + " event" +
           (call.mac.empty() ? std::string() : " of " + call.mac) + ")";
}

void EventHook::work() {
    for (;;) {
        Call call;
        std::size_t dropped = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return; // stopping
            }
            call = std::move(queue_.front());
            queue_.pop_front();
            dropped = std::exchange(dropped_, 0);
        }
        if (dropped > 0) {
            report("--on-event: " + std::to_string(dropped) + " event" + (dropped == 1 ? " was" : "s were") +
                   " dropped: " + std::to_string(kQueueLimit) + " were already waiting for the hook");
        }
        const auto end = process::runToEnd(
            words_, {{"FERNWICK_EVENT", call.event}, {"FERNWICK_MAC", call.mac}, {"FERNWICK_IP", call.ip}},
            call.json + "\n", timeout_);
        switch (end.how) {
        case process::ChildEnd::How::Exited:
            if (end.code != 0) {
                report(failure(call, "failed with exit status " + std::to_string(end.code)));
            }
            break;
        case process::ChildEnd::How::Signalled:
            report(failure(call, "was ended by signal " + std::to_string(end.code)));
            break;
        case process::ChildEnd::How::TimedOut:
            report(failure(call, "did not end within " + seconds(timeout_) + " s and was ended"));
            break;
        case process::ChildEnd::How::NotStarted:
            report(failure(call, "could not be started: " + end.error.message()));
            break;
        }
    }
}

} // namespace fw::cli
