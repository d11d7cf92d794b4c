// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/UiPost.h"

#include <QMetaObject>
#include <QObject>

namespace fw {

// Qt's UiQueue: calls run in the receiver's thread's event loop, and none once the receiver is gone.
class QtUiQueue final : public UiQueue {
public:
    explicit QtUiQueue(QObject* receiver) : receiver_(receiver) {}
    void post(std::function<void()> fn) override {
        QMetaObject::invokeMethod(receiver_, std::move(fn), Qt::QueuedConnection);
    }

private:
    QObject* receiver_;
};

// A Qt object's way back from the engine thread: a UiPost over the object's own queue.
class GuiPost {
public:
    explicit GuiPost(QObject* receiver) : queue_(receiver), post_(queue_) {}
    auto sender() const { return post_.sender(); }

private:
    QtUiQueue queue_;
    UiPost post_;
};

} // namespace fw
