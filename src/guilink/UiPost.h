// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace fw {

// A toolkit's queue of calls for its GUI thread: Qt's event loop, or the Win32 message loop.
class UiQueue {
public:
    // Runs fn on the GUI thread later, never inside this call. Callable from any thread.
    virtual void post(std::function<void()> fn) = 0;

protected:
    ~UiQueue() = default;
};

// The way back from the engine thread to one window object (a view or its logic) on the GUI
// thread. The object holds a UiPost as a member; engine jobs hold copies of its sender(). A call
// sent is queued and runs on the GUI thread later, unless the object is gone by then: once the
// UiPost is destroyed nothing more is queued, and what was queued before is dropped when its turn
// comes. A job that outlives its window sends into the void.
class UiPost {
    struct Target {
        std::mutex mutex;
        UiQueue* queue = nullptr;
        bool live = true; // read and cleared on the GUI thread only
    };

public:
    explicit UiPost(UiQueue& queue) : target_(std::make_shared<Target>()) { target_->queue = &queue; }
    ~UiPost() {
        const std::lock_guard lock(target_->mutex);
        target_->queue = nullptr;
        target_->live = false;
    }
    UiPost(const UiPost&) = delete;
    UiPost& operator=(const UiPost&) = delete;

    // Queues fn to run on the GUI thread. Callable from any thread.
    auto sender() const {
        return [target = target_](auto&& fn) {
            const std::lock_guard lock(target->mutex); // the object cannot go while this posts
            if (target->queue != nullptr) {
                target->queue->post([target, fn = std::forward<decltype(fn)>(fn)]() mutable {
                    if (target->live) {
                        fn();
                    }
                });
            }
        };
    }

private:
    std::shared_ptr<Target> target_;
};

} // namespace fw
