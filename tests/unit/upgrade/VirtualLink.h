#pragma once

// A virtual-time world for TftpUpload: a clock, the one periodic timer, the transfer socket's
// open/closed state, and datagrams in flight. A device (or the test) answers what is sent.

#include "upgrade/core/TftpUpload.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;

struct Sent {
    Ms at;
    UdpAddress to;
    Bytes bytes;
    bool socketOpen; // a send on a closed socket never leaves
};

class VirtualLink final : public TftpUpload::Io {
public:
    Ms now{0};
    bool socketOpen = false;
    int socketOpens = 0;
    int arpFlushes = 0;
    std::optional<Ms> timerDue;
    Ms timerInterval{0};
    std::vector<Sent> sent;
    std::vector<std::pair<Ms, int>> bars;
    std::vector<std::string> labels;
    std::vector<Message> messages;
    std::optional<Ms> closedAt;
    // Sees every datagram that leaves; may deliver answers.
    std::function<void(const Sent&)> onSend;

    // A datagram arriving at the transfer socket at time `at` (dropped there if it is closed).
    void deliver(Ms at, UdpAddress from, Bytes bytes) {
        inFlight_.emplace(at, Arrival{from, std::move(bytes)});
    }

    // Runs events in time order until `until` or until nothing is left to happen. Datagrams keep
    // arriving after the upload has closed, as they may while its message box is open.
    void run(TftpUpload& upload, Ms until) {
        while (true) {
            const auto next =
                inFlight_.empty() ? std::optional<Ms>{} : std::optional<Ms>{inFlight_.begin()->first};
            const bool timerFirst = timerDue && (!next || *timerDue <= *next);
            const std::optional<Ms> at = timerFirst ? timerDue : next;
            if (!at || *at > until) {
                break;
            }
            now = *at;
            if (timerFirst) {
                timerDue = now + timerInterval; // periodic unless the handler says otherwise
                upload.onTimer();
            } else {
                auto node = inFlight_.extract(inFlight_.begin());
                if (socketOpen) {
                    upload.onDatagram(node.mapped().from, node.mapped().bytes);
                }
            }
        }
        if (until > now) {
            now = until;
        }
    }

    std::vector<Sent> sentLeft() const {
        std::vector<Sent> out;
        for (const auto& s : sent) {
            if (s.socketOpen) {
                out.push_back(s);
            }
        }
        return out;
    }

    // TftpUpload::Io
    void openTransferSocket() override {
        socketOpen = true;
        ++socketOpens;
    }
    void closeTransferSocket() override { socketOpen = false; }
    void send(UdpAddress to, std::span<const std::uint8_t> bytes) override {
        sent.push_back(Sent{now, to, Bytes(bytes.begin(), bytes.end()), socketOpen});
        if (socketOpen && onSend) {
            onSend(sent.back());
        }
    }
    void flushArp() override { ++arpFlushes; }
    void startTimer(std::chrono::milliseconds interval) override {
        timerInterval = interval;
        timerDue = now + interval;
    }
    void stopTimer() override { timerDue.reset(); }
    void setProgress(int value) override { bars.emplace_back(now, value); }
    void setLabel(const std::string& text) override { labels.push_back(text); }
    void showMessage(const Message& message) override { messages.push_back(message); }
    void close() override { closedAt = now; }

private:
    struct Arrival {
        UdpAddress from;
        Bytes bytes;
    };
    std::multimap<Ms, Arrival> inFlight_;
};

} // namespace fw::test
