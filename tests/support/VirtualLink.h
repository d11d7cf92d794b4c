// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A virtual-time world for TftpUpload: a clock, the transfer socket's open/closed state, datagrams
// in flight, and a device's TFTP server that answers what is sent.

#include "upgrade/TftpUpload.h"
#include "upgrade/UploadResultText.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fw::test {

using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;

struct Sent {
    Ms at;
    UdpAddress to;
    Bytes bytes;
    bool socketOpen;   // a send on a closed socket never leaves
    std::string label; // the percent label as the record went out
};

// A seeded pseudo-random image (also for the lab's uploads).
inline Bytes labImage(std::size_t size, std::uint32_t seed) {
    Bytes b(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& byte : b) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        byte = static_cast<std::uint8_t>(x);
    }
    return b;
}

inline Bytes ack(std::uint16_t block) {
    return {0x00, 0x04, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block & 0xFF)};
}

// Drives one TftpUpload and does what it answers: the transfer socket's open/closed state, the ARP
// flushes, what was sent and when, and what the dialog shows (its changes only).
class VirtualLink {
public:
    Ms now{0};
    bool socketOpen = false;
    int arpFlushes = 0;
    std::vector<Sent> sent;
    std::vector<std::pair<Ms, int>> bars;
    std::vector<std::string> labels;
    std::vector<std::string> messages;
    std::optional<Ms> closedAt;

    static TftpUpload::TimePoint at(Ms t) { return TftpUpload::TimePoint(t); }

    void start(TftpUpload& upload, Ipv4 device, Bytes image) {
        apply(upload.start(at(now), device, std::move(image)));
    }

    // Dropped at arrival if the socket is closed then.
    void deliver(Ms at, UdpAddress from, Bytes bytes) {
        inFlight_.emplace(at, Arrival{from, std::move(bytes)});
    }

    // Events in time order up to `until`; datagrams still arrive after the end (message box open).
    void run(TftpUpload& upload, Ms until) {
        while (true) {
            const auto next =
                inFlight_.empty() ? std::optional<Ms>{} : std::optional<Ms>{inFlight_.begin()->first};
            std::optional<Ms> due;
            if (const auto d = upload.deadline()) {
                due = std::chrono::duration_cast<Ms>(d->time_since_epoch());
            }
            const bool deadlineFirst = due && (!next || *due <= *next);
            const std::optional<Ms> when = deadlineFirst ? due : next;
            if (!when || *when > until) {
                break;
            }
            now = *when;
            if (deadlineFirst) {
                apply(upload.onDeadline(at(now)));
            } else if (auto node = inFlight_.extract(inFlight_.begin()); socketOpen) {
                apply(upload.onDatagram(at(now), node.mapped().from, node.mapped().bytes));
            }
        }
        now = std::max(now, until);
    }

    void apply(const TftpUpload::Actions& a);

    class Device* device = nullptr;

private:
    struct Arrival {
        UdpAddress from;
        Bytes bytes;
    };
    std::multimap<Ms, Arrival> inFlight_;
};

// A device's TFTP server: a WRQ on port 69 gets ACK 0 from a fresh port, blocks are stored in order,
// a repeat is acked again. Faults index datagrams reaching it (1 = first WRQ) and its answers.
class Device {
public:
    static constexpr Ipv4 kIp{{10, 77, 1, 10}};

    using Answer = std::function<void(Ms delay, UdpAddress from, Bytes bytes)>;
    explicit Device(VirtualLink& link)
        : answer_([&link](Ms delay, UdpAddress from, Bytes bytes) {
              link.deliver(link.now + delay, from, std::move(bytes));
          }) {
        link.device = this;
    }
    // On other endpoints (a command's over the engine's fakes): answers go to `answer`.
    Device(Ipv4 at, Answer answer) : ip(at), answer_(std::move(answer)) {}

    Ipv4 ip = kIp;

    std::set<int> loseIncoming, loseOutgoing, duplicateOutgoing;

    Bytes image;
    bool complete = false;
    std::vector<std::size_t> blockLengths;
    std::uint16_t port = 0;

    void receive(const Sent& s) {
        if (s.to.ip != ip || loseIncoming.contains(++incoming_) || s.bytes.size() < 4) {
            return;
        }
        if (s.bytes[1] == 2 && s.to.port == 69) {
            port = port == 0 ? 40001 : static_cast<std::uint16_t>(port + 1); // a new transfer id
            expected_ = 1;
            image.clear();
            blockLengths.clear();
            complete = false;
            answer(ack(0));
            return;
        }
        const auto block = static_cast<std::uint16_t>((s.bytes[2] << 8) | s.bytes[3]);
        if (s.bytes[1] != 3 || s.to.port != port) {
            return;
        }
        if (block == expected_ && !complete) {
            image.insert(image.end(), s.bytes.begin() + 4, s.bytes.end());
            blockLengths.push_back(s.bytes.size() - 4);
            complete = s.bytes.size() < 516;
            ++expected_;
            answer(ack(block));
        } else if (block == static_cast<std::uint16_t>(expected_ - 1)) {
            answer(ack(block)); // it missed our acknowledgement
        }
    }

private:
    void answer(const Bytes& bytes) {
        ++answers_;
        for (int copy = 0; copy < (duplicateOutgoing.contains(answers_) ? 2 : 1); ++copy) {
            if (!loseOutgoing.contains(answers_)) {
                answer_(Ms{1 + copy}, UdpAddress{ip, port}, bytes);
            }
        }
    }

    Answer answer_;
    std::uint16_t expected_ = 1;
    int incoming_ = 0;
    int answers_ = 0;
};

inline void VirtualLink::apply(const TftpUpload::Actions& a) {
    socketOpen = socketOpen || a.openSocket;
    arpFlushes += a.flushArp ? 1 : 0;
    if (a.send) {
        sent.push_back(Sent{now, a.send->to, Bytes(a.send->bytes.begin(), a.send->bytes.end()), socketOpen,
                            labels.empty() ? std::string() : labels.back()});
        if (a.progress) {
            sent.back().label = a.progress->label(); // shown before the block goes out
        }
        if (socketOpen && device != nullptr) {
            device->receive(sent.back());
        }
    }
    socketOpen = socketOpen && !a.closeSocket;
    if (a.progress) {
        if (bars.empty() || bars.back().second != a.progress->bar) {
            bars.emplace_back(now, a.progress->bar);
        }
        if (labels.empty() || labels.back() != a.progress->label()) {
            labels.push_back(a.progress->label());
        }
    }
    if (a.finished) {
        if (auto text = uploadResultText(*a.finished)) {
            messages.push_back(std::move(*text));
        }
        closedAt = now;
    }
}

} // namespace fw::test
