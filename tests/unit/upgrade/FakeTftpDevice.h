#pragma once

// A device's TFTP server as the tests need it: takes a write request on port 69, answers from a
// fresh port per request, stores blocks in order, re-acknowledges a repeated block, ignores the
// rest, and can lose, duplicate or replace chosen packets.

#include "unit/upgrade/VirtualLink.h"

#include <functional>
#include <set>

namespace fw::test {

class FakeTftpDevice {
public:
    static constexpr Ipv4 kIp{{10, 77, 1, 10}};
    static constexpr Ms kLatency{1};

    explicit FakeTftpDevice(VirtualLink& link) : link_(link) {
        link.onSend = [this](const Sent& s) {
            receive(s);
        };
    }

    // Faults, by the order of packets the device receives (1 = the first that reaches it) and of
    // the answers it sends (1 = its first answer).
    std::set<int> loseIncoming;
    std::set<int> loseOutgoing;
    std::set<int> duplicateOutgoing;
    std::optional<int> silentAfterBlock; // takes no DATA beyond this block
    // Replaces an answer: gets the answer number and the bytes, returns what to send instead
    // (an empty result sends nothing).
    std::function<Bytes(int, const Bytes&)> rewriteOutgoing;

    // What arrived.
    Bytes image;
    bool complete = false;
    int writeRequests = 0;
    int dataPackets = 0;
    std::vector<std::size_t> blockLengths;

    std::uint16_t port() const { return port_; }

    // Sends as the device would, from its current port.
    void answer(Bytes bytes, Ms delay = kLatency) {
        ++answers_;
        if (rewriteOutgoing) {
            bytes = rewriteOutgoing(answers_, bytes);
            if (bytes.empty()) {
                return;
            }
        }
        if (loseOutgoing.contains(answers_)) {
            return;
        }
        link_.deliver(link_.now + delay, UdpAddress{kIp, port_}, bytes);
        if (duplicateOutgoing.contains(answers_)) {
            link_.deliver(link_.now + delay + Ms{1}, UdpAddress{kIp, port_}, bytes);
        }
    }

    static Bytes ack(std::uint16_t block) {
        return {0x00, 0x04, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block & 0xFF)};
    }

private:
    void receive(const Sent& s) {
        if (s.to.ip != kIp) {
            return;
        }
        ++incoming_;
        if (loseIncoming.contains(incoming_) || s.bytes.size() < 4) {
            return;
        }
        const std::uint16_t opcode = static_cast<std::uint16_t>((s.bytes[0] << 8) | s.bytes[1]);
        if (opcode == 2 && s.to.port == 69) {
            ++writeRequests;
            port_ = static_cast<std::uint16_t>(40000 + writeRequests); // a new transfer id per request
            expected_ = 1;
            image.clear();
            blockLengths.clear();
            complete = false;
            answer(ack(0));
            return;
        }
        if (opcode != 3 || s.to.port != port_) {
            return;
        }
        ++dataPackets;
        const std::uint16_t block = static_cast<std::uint16_t>((s.bytes[2] << 8) | s.bytes[3]);
        if (block == expected_ && !complete) {
            if (silentAfterBlock && block > *silentAfterBlock) {
                return;
            }
            image.insert(image.end(), s.bytes.begin() + 4, s.bytes.end());
            blockLengths.push_back(s.bytes.size() - 4);
            complete = s.bytes.size() < 516;
            ++expected_;
            answer(ack(block));
        } else if (block == static_cast<std::uint16_t>(expected_ - 1)) {
            answer(ack(block)); // it missed our acknowledgement
        }
    }

    VirtualLink& link_;
    std::uint16_t port_ = 0;
    std::uint16_t expected_ = 1;
    int incoming_ = 0;
    int answers_ = 0;
};

} // namespace fw::test
