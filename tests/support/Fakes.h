// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of the platform interfaces, for GUI tests.

#include "platform/Platform.h"
#include "support/FakeEndpoint.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

// An adapter on a /24 network.
inline AdapterEntry adapterOn24(const char* ip, const char* gateway, MacAddress mac, std::string name,
                                int index) {
    return {Ipv4::parse(ip), Ipv4::parse("255.255.255.0"), Ipv4::parse(gateway), mac, std::move(name), index};
}

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

class FakeShell final : public Shell {
public:
    void flushNeighbour(Ipv4 ip) override { calls.push_back("flush " + ip.toString()); }
    void openUrl(const std::string& url) override { calls.push_back("open " + url); }
    std::vector<std::string> calls;
};

class FakeAdapterSource final : public AdapterSource {
public:
    AdapterSelection enumerateAdapters() override { return selection; }
    AdapterSelection selection{AdapterOutcome::Ok,
                               {adapterOn24("10.0.0.1", "10.0.0.254", {2, 0, 0, 0, 0, 1}, "eth0", 2)}};
};

class FakeFileChooser final : public FileChooser {
public:
    std::optional<std::string> chooseImage(QWidget*) override {
        ++calls;
        return answer;
    }
    std::optional<std::string> answer;
    int calls = 0;
};

// A whole Platform made of fakes.
struct FakePlatform {
    FakeMessageBoxes messages;
    FakeShell shell;
    FakeAdapterSource adapters;
    FakeFileChooser files;
    FakeNetwork network;
    Platform platform() { return Platform{messages, shell, adapters, files, network.factory()}; }
};

} // namespace fw::test
