// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the platform interfaces and the engine's sockets, for GUI tests.

#include "guilink/EngineLink.h"
#include "qt/Platform.h"
#include "support/EngineFakes.h"
#include "support/FakeHost.h"

#include <QCoreApplication>

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace fw::test {

// Answers message boxes from a queue (Ok when the queue is empty) and records every box shown.
class FakeMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(QWidget*, const Message& message) override {
        shown.push_back(message);
        if (onShow) {
            onShow(message);
        }
        const MessageAnswer a = answers.empty() ? MessageAnswer::Ok : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return a;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Message& m : shown) {
            out.push_back(m.text);
        }
        return out;
    }
    std::vector<Message> shown;
    std::deque<MessageAnswer> answers;
    std::function<void(const Message&)> onShow; // runs while the box is "open"
};

// Records each URL opened as "open URL", in the log the host's flushes go to.
class FakeShell final : public Shell {
public:
    explicit FakeShell(CallLog& log) : log_(log) {}
    void openUrl(const std::string& url) override { log_.record("open " + url); }

private:
    CallLog& log_;
};

class FakeFileChooser final : public FileChooser {
public:
    std::optional<std::string> chooseImage(QWidget*) override {
        ++calls;
        return answer;
    }
    std::optional<std::string> chooseExportPath(QWidget*) override { return exportAnswer; }
    std::optional<std::string> answer;
    std::optional<std::string> exportAnswer;
    int calls = 0;
};

// A whole Platform made of fakes, and a running engine whose sockets are fakes. The fakes belong to
// the engine's thread: a test reaches them through onEngine().
struct FakePlatform {
    FakeMessageBoxes messages;
    CallLog calls; // the flushes and the URLs opened, in order
    FakeShell shell{calls};
    FakeHost host{calls};
    FakeFileChooser files;
    engine::Engine engine;
    FakeEndpoints endpoints{engine.context()};

    FakePlatform() { engine.startThread(); }
    ~FakePlatform() {
        onEngine([] {}); // what the windows left behind runs before the fakes go
        engine.stop();
    }
    Platform platform() { return Platform{messages, shell, host, files}; }
    EngineLink link() { return EngineLink{engine, endpoints}; }

    // Runs fn on the engine's thread and returns its result.
    template <typename F> std::invoke_result_t<F> onEngine(F fn) {
        std::packaged_task<std::invoke_result_t<F>()> task(std::move(fn));
        auto result = task.get_future();
        engine.post([&task] { task(); });
        return result.get();
    }
    // Lets the engine run what it has queued, and what that queued in turn (a coroutine's start).
    void quiet() {
        for (int i = 0; i < 3; ++i) {
            onEngine([] {});
        }
    }
    // The same, then the window takes what came back.
    void settle() {
        quiet();
        QCoreApplication::processEvents();
    }
    std::vector<FakeEndpoints::Sent> sent() {
        quiet();
        return onEngine([this] { return endpoints.sent; });
    }
    std::size_t openCount() {
        quiet();
        return onEngine([this] { return endpoints.openCount(); });
    }
    int bindCount() {
        quiet();
        return onEngine([this] { return endpoints.bindCount; });
    }
    // A datagram from `from` to the open endpoint at `to`; the window has seen it when this returns.
    bool deliver(UdpAddress to, UdpAddress from, std::vector<std::uint8_t> bytes) {
        const bool delivered = onEngine([&] { return endpoints.deliver(to, from, std::move(bytes)); });
        settle();
        return delivered;
    }
    void refuse(const std::string& where, std::uint16_t port, std::errc error) {
        onEngine([&] { endpoints.refuse[{where, port}] = SocketError::from(std::make_error_code(error)); });
    }
};

} // namespace fw::test
