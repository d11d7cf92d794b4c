// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>

namespace fw {

// The way back from the engine thread to one window object on the GUI thread. The window holds a
// GuiPost as a member; engine jobs hold copies of its sender(). A call sent is queued to the window
// and runs there later, unless the window is gone by then; once the GuiPost is destroyed nothing
// more is queued, so a job that outlives its window sends into the void.
class GuiPost {
    struct Target {
        std::mutex mutex;
        QObject* object = nullptr;
    };

public:
    class Sender {
    public:
        // Queues fn to run on the receiver's thread. Callable from any thread.
        template <typename F> void operator()(F&& fn) const {
            const std::lock_guard lock(target_->mutex); // the window cannot go while this posts
            if (target_->object != nullptr) {
                QMetaObject::invokeMethod(target_->object, std::forward<F>(fn), Qt::QueuedConnection);
            }
        }

    private:
        friend class GuiPost;
        explicit Sender(std::shared_ptr<Target> target) : target_(std::move(target)) {}
        std::shared_ptr<Target> target_;
    };

    explicit GuiPost(QObject* receiver) : target_(std::make_shared<Target>()) { target_->object = receiver; }
    ~GuiPost() {
        const std::lock_guard lock(target_->mutex);
        target_->object = nullptr;
    }
    GuiPost(const GuiPost&) = delete;
    GuiPost& operator=(const GuiPost&) = delete;

    Sender sender() const { return Sender(target_); }

private:
    std::shared_ptr<Target> target_;
};

} // namespace fw
