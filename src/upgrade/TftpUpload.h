// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/UdpAddress.h"
#include "upgrade/UploadCarryOver.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

// One firmware write transfer, from the start sequence to its end, with no socket and no clock of
// its own: the owner feeds it the time with every event (start, a datagram, its deadline passed,
// cancel) and does what each answer says, in the order of Actions' fields.
//
// Start sequence (13 s): flush ARP, 1 s, first WRQ to device:69, transfer socket closed, the bar
// climbs 0..100 in eleven 1 s steps, bar 0, flush ARP, 1 s, socket re-opened on port 14321, second
// WRQ, retransmission deadline at 1000 ms. The device's TFTP server takes the first request as a
// wake-up; the transfer runs on the second.
//
// Transfer: one block in flight; every packet after the WRQ goes to the port the device first
// answered it from, its transfer ID (RFC 1350). A datagram from any other port or address changes
// nothing; unless it is an ERROR, its sender gets ERROR 5 "Unknown transfer ID." An ACK of block k-1 while k
// is outstanding resends k; ACK 0 advances; an ACK of the current block advances or completes; any other ACK
// gets ERROR 0 and the transfer stalls until cancelled. A deadline passed without a reply since the last new
// packet is a timeout: resend, interval 3000 ms, bar +5; the seventh timeout of the transfer (not in a row)
// ends it.
class TftpUpload {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class Phase { Idle, Starting, Requesting, Sending, Stalled, Completed, Ended, Cancelled };
    // PortUnavailable: local port 14321 could not be bound (another program holds it, say); the
    // transfer ends at once instead of timing out on a socket that was never open. Stalled is the
    // driver's, for an owner that ends the transfer on a stall rather than wait for Cancel.
    enum class Outcome {
        None,
        Completed,
        TimedOut,
        DeviceError,
        PeerFault,
        Stalled,
        Cancelled,
        PortUnavailable
    };

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
        int timeouts = 0;                 // deadlines passed without a reply, over the whole transfer
        bool requestAcknowledged = false; // ACK 0 came: the device took the write request
        bool operator==(const Counters&) const = default;
    };

    // What the dialog shows (its bar and percent label) and what the transfer has cost.
    struct Progress {
        int bar = 0;              // 0..100
        std::int16_t percent = 0; // the label: the percent and "%", until...
        bool complete = false;    // ...the last block is acknowledged: "100", no percent sign
        Counters counters;
        std::string label() const { return complete ? "100" : std::to_string(percent) + "%"; }
        bool operator==(const Progress&) const = default;
    };

    // One record to send. The bytes belong to the upload and stay valid until its next call.
    struct Datagram {
        UdpAddress to;
        std::span<const std::uint8_t> bytes;
    };

    // What the owner does next, in this order. An event sends at most one record.
    struct Actions {
        bool openSocket = false; // close, then bind LocalAdapterIp:14321; if that fails, portUnavailable()
        bool flushArp = false;   // the device's neighbour entry
        std::optional<Datagram> send;
        bool closeSocket = false;
        std::optional<Progress> progress; // when it changed
        std::optional<Result> finished;   // the end: the owner stops feeding events
    };

    static constexpr std::chrono::milliseconds kStepInterval{1000};
    static constexpr std::chrono::milliseconds kFirstInterval{1000};
    static constexpr std::chrono::milliseconds kRetryInterval{3000};
    static constexpr int kBarStepsBeforeRequest = 10; // bar 0, 10, ..., 100 at one-second steps
    // Start to the second write request: a 1 s pause, the eleven bar steps and a last 1 s pause.
    static constexpr std::chrono::seconds kStartSequence{13};
    static_assert(kStepInterval * (kBarStepsBeforeRequest + 3) == kStartSequence);
    static constexpr int kTimeoutLimit = 6; // the transfer ends when the count exceeds this
    static constexpr int kTimeoutBarStep = 5;

    explicit TftpUpload(UploadCarryOver& carry);

    // The image must have passed checkImage (at most kTftpMaxImageBytes). Only from Idle.
    Actions start(TimePoint now, Ipv4 device, std::vector<std::uint8_t> image);
    Actions onDatagram(TimePoint now, UdpAddress from, std::span<const std::uint8_t> bytes);
    // Early or without a deadline: nothing happens.
    Actions onDeadline(TimePoint now);
    // The socket an Actions::openSocket asked for could not be bound: the transfer ends.
    Actions portUnavailable();
    // Closes the transfer socket in any phase and drops the deadline; nothing is sent afterwards.
    Actions cancel();

    Phase phase() const { return phase_; }
    Outcome outcome() const { return outcome_; }
    int timeoutCount() const { return timeoutCount_; }
    std::int16_t currentBlock() const { return currentBlock_; }
    const Progress& progress() const { return shown_; }
    const Counters& counters() const { return shown_.counters; }
    std::optional<TimePoint> deadline() const { return deadline_; }

private:
    void startStep(TimePoint now);
    void onAck(TimePoint now, std::int16_t block);
    void nextData(TimePoint now);
    void complete();
    void sendCurrent();
    void sendError(UdpAddress to, std::uint8_t code);
    bool fromPeer(UdpAddress from, std::span<const std::uint8_t> bytes);
    void end(Phase phase, Result result);
    void setBar(int value);
    void restartTimer(TimePoint now);
    Actions answer();

    UploadCarryOver& carry_;
    Phase phase_ = Phase::Idle;
    Outcome outcome_ = Outcome::None;
    Actions out_;       // the answer being built
    Progress shown_;    // what the dialog shows now
    Progress reported_; // what the last answer with progress said
    bool reportedAny_ = false;

    Ipv4 device_;
    UdpAddress peer_;
    bool peerKnown_ = false; // the device has answered the second WRQ: peer_ is its transfer ID
    std::vector<std::uint8_t> image_;
    std::vector<std::uint8_t> currentPacket_;
    std::vector<std::uint8_t> errorPacket_;
    std::int16_t currentBlock_ = 0;
    std::int16_t lastAckBlock_ = 0;
    std::size_t nextOffset_ = 0; // 0-based position of the next byte to send
    bool lastBlockSent_ = false;
    std::int32_t imageHundredth_ = 0;
    bool replySeen_ = true;
    bool repeatAnswered_ = false; // the current packet was already resent for a repeated ACK
    int timeoutCount_ = 0;
    bool finished_ = false;
    std::chrono::milliseconds interval_ = kFirstInterval;
    std::optional<TimePoint> deadline_;
    int startStep_ = 0;
};

// n / d rounded to the nearest integer, halves to the even neighbour (n >= 0, d > 0).
std::int64_t divideHalfEven(std::int64_t n, std::int64_t d);

} // namespace fw
