// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "upgrade/core/UploadCarryOver.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

struct UdpAddress {
    Ipv4 ip;
    std::uint16_t port = 0;
    bool operator==(const UdpAddress&) const = default;
};

// One firmware write transfer, from the start sequence to its end, with no socket and no clock of
// its own: the owner feeds it datagrams, timer ticks and cancel, and it acts through Io.
//
// Start sequence (13 s): flush ARP, 1 s, first WRQ to device:69, transfer socket closed, the bar
// climbs 0..100 in eleven 1 s steps, bar 0, flush ARP, 1 s, socket re-opened on port 14321, second
// WRQ, retransmission timer at 1000 ms. The device's TFTP server takes the first request as a
// wake-up; the transfer runs on the second.
//
// Transfer: one block in flight; every packet after the WRQ goes to the port the device first
// answered it from, its transfer ID (RFC 1350). A datagram from any other port or address changes
// nothing; unless it is an ERROR, its sender gets ERROR 5 "Unknown transfer ID." An ACK of block k-1 while k
// is outstanding resends k; ACK 0 advances; an ACK of the current block advances or completes; any other ACK
// gets ERROR 0 and the transfer stalls until cancelled. A tick without a reply since the last new packet is a
// timeout: resend, interval 3000 ms, bar +5; the seventh timeout of the transfer (not in a row) ends it.
class TftpUpload {
public:
    enum class Phase { Idle, Starting, Requesting, Sending, Stalled, Completed, Ended, Cancelled };
    // PortUnavailable: local port 14321 could not be bound (another program holds it, say); the
    // transfer ends at once instead of timing out on a socket that was never open.
    enum class Outcome { None, Completed, TimedOut, DeviceError, PeerFault, Cancelled, PortUnavailable };

    // How a transfer ended: the owner picks the words. deviceErrorCode and deviceErrorText are the
    // code and the message (8-bit text, as sent) of the device's ERROR packet (DeviceError only).
    struct Result {
        Outcome outcome = Outcome::None;
        std::optional<std::uint16_t> deviceErrorCode;
        std::string deviceErrorText;
        bool operator==(const Result&) const = default;
    };

    // What the transfer has cost so far, for a truthful progress line and a rollout's report.
    struct Counters {
        std::uint64_t bytesAcknowledged = 0;
        int retransmissions = 0;          // packets sent again: on a timeout or for a repeated ACK
        int timeouts = 0;                 // ticks without a reply, over the whole transfer
        bool requestAcknowledged = false; // ACK 0 came: the device took the write request
        bool operator==(const Counters&) const = default;
    };

    struct Io {
        virtual ~Io() = default;
        // Close, then bind LocalAdapterIp:14321; false when the bind failed.
        virtual bool openTransferSocket() = 0;
        virtual void closeTransferSocket() = 0;
        virtual void send(UdpAddress to, std::span<const std::uint8_t> bytes) = 0;
        virtual void flushArp() = 0; // the device's neighbour entry
        // (Re)starts the one periodic timer with a new period; ticks come to onTimer().
        virtual void startTimer(std::chrono::milliseconds interval) = 0;
        virtual void stopTimer() = 0;
        virtual void setProgress(int value) = 0; // only 0..100 is ever passed
        virtual void setLabel(const std::string& text) = 0;
        virtual void ended(const Result& result) = 0; // may run events before it returns
        virtual void close() = 0;                     // the transfer is over; the window closes
    };

    static constexpr std::chrono::milliseconds kStepInterval{1000};
    static constexpr std::chrono::milliseconds kFirstInterval{1000};
    static constexpr std::chrono::milliseconds kRetryInterval{3000};
    static constexpr int kTimeoutLimit = 6; // the transfer ends when the count exceeds this
    static constexpr int kTimeoutBarStep = 5;

    TftpUpload(Io& io, UploadCarryOver& carry);

    // The image must have passed checkImage (at most kTftpMaxImageBytes). Only from Idle.
    void start(Ipv4 device, std::vector<std::uint8_t> image);
    void onDatagram(UdpAddress from, std::span<const std::uint8_t> bytes);
    void onTimer();
    // Stops the timer and closes the transfer socket in any phase; nothing is sent afterwards.
    void cancel();

    Phase phase() const { return phase_; }
    Outcome outcome() const { return outcome_; }
    int timeoutCount() const { return timeoutCount_; }
    std::int16_t currentBlock() const { return currentBlock_; }
    int progress() const { return bar_; }
    // Image bytes the device has acknowledged so far.
    std::uint64_t bytesAcknowledged() const { return counters_.bytesAcknowledged; }
    const Counters& counters() const { return counters_; }

private:
    void startStep();
    void onAck(std::int16_t block);
    void nextData();
    void complete();
    void sendCurrent();
    void sendError(std::uint8_t code);
    bool fromPeer(UdpAddress from, std::span<const std::uint8_t> bytes);
    void end(Phase phase, Result result);
    void setBar(int value);
    void restartTimer();

    Io& io_;
    UploadCarryOver& carry_;
    Phase phase_ = Phase::Idle;
    Outcome outcome_ = Outcome::None;

    Ipv4 device_;
    UdpAddress peer_;
    bool peerKnown_ = false; // the device has answered the second WRQ: peer_ is its transfer ID
    std::vector<std::uint8_t> image_;
    std::vector<std::uint8_t> currentPacket_;
    std::int16_t currentBlock_ = 0;
    std::int16_t lastAckBlock_ = 0;
    std::size_t nextOffset_ = 0; // 0-based position of the next byte to send
    Counters counters_;
    bool lastBlockSent_ = false;
    std::int32_t imageHundredth_ = 0;
    bool replySeen_ = true;
    bool repeatAnswered_ = false; // the current packet was already resent for a repeated ACK
    int timeoutCount_ = 0;
    bool finished_ = false;
    std::chrono::milliseconds interval_ = kFirstInterval;
    int bar_ = 0;
    int startStep_ = 0;
};

// n / d rounded to the nearest integer, halves to the even neighbour (n >= 0, d > 0).
std::int64_t divideHalfEven(std::int64_t n, std::int64_t d);

} // namespace fw
