// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/core/TftpUpload.h"

#include "common/StringTable.h"
#include "upgrade/core/TftpPackets.h"

#include <algorithm>
#include <limits>

namespace fw {
namespace {

constexpr int kBarStepsBeforeRequest = 10; // bar 0, 10, ..., 100 at one-second steps
constexpr std::uint8_t kErrorOutOfSequence = 0;
constexpr std::uint8_t kErrorAccessViolation = 2;
constexpr std::uint8_t kErrorIllegalOperation = 4;
constexpr std::uint8_t kErrorUnknownTransferId = 5;

// The ERROR packets we send carry the device-facing texts of strings 201-208.
std::string_view errorText(std::uint8_t code) {
    return loadResString(static_cast<std::uint16_t>(static_cast<int>(Str::TftpError0) + code));
}

} // namespace

std::int64_t divideHalfEven(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    const std::int64_t twiceRest = 2 * (n % d);
    if (twiceRest > d || (twiceRest == d && q % 2 != 0)) {
        return q + 1;
    }
    return q;
}

TftpUpload::TftpUpload(Io& io, UploadCarryOver& carry) : io_(io), carry_(carry) {}

void TftpUpload::start(Ipv4 device, std::vector<std::uint8_t> image) {
    if (phase_ != Phase::Idle) {
        return;
    }
    device_ = device;
    peer_ = UdpAddress{device, kTftpDevicePort};
    image_ = std::move(image);
    imageHundredth_ =
        static_cast<std::int32_t>(divideHalfEven(static_cast<std::int64_t>(image_.size()), 100));
    nextOffset_ = 0;
    counters_ = {};
    lastBlockSent_ = false;
    currentPacket_ = buildTftpWriteRequest("/");
    phase_ = Phase::Starting;
    startStep_ = 0;
    setBar(0);
    io_.setLabel("0%");
    if (!io_.openTransferSocket()) {
        end(Phase::Ended, {Outcome::PortUnavailable, std::nullopt, {}});
        return;
    }
    io_.flushArp();
    io_.startTimer(kStepInterval);
}

// One tick of the start sequence; the timer carries the one-second waits between the steps.
void TftpUpload::startStep() {
    if (startStep_ == 0) {
        sendCurrent(); // the first WRQ wakes the device's server up
        io_.stopTimer();
        io_.closeTransferSocket();
        setBar(0);
    } else if (startStep_ <= kBarStepsBeforeRequest) {
        setBar(10 * startStep_);
    } else if (startStep_ == kBarStepsBeforeRequest + 1) {
        setBar(0);
        io_.flushArp();
    } else {
        if (!io_.openTransferSocket()) {
            end(Phase::Ended, {Outcome::PortUnavailable, std::nullopt, {}});
            return;
        }
        peer_ = UdpAddress{device_, kTftpDevicePort};
        peerKnown_ = false;
        finished_ = false;
        timeoutCount_ = 0;
        replySeen_ = false;
        repeatAnswered_ = false;
        interval_ = kFirstInterval;
        phase_ = Phase::Requesting;
        sendCurrent();
        io_.startTimer(interval_);
        return;
    }
    ++startStep_;
    io_.startTimer(kStepInterval);
}

void TftpUpload::onDatagram(UdpAddress from, std::span<const std::uint8_t> bytes) {
    if (phase_ != Phase::Requesting && phase_ != Phase::Sending && phase_ != Phase::Stalled) {
        return;
    }
    if (!fromPeer(from, bytes)) {
        return;
    }
    const auto opcode = tftpOpcodeOf(bytes);
    if (!opcode) {
        return;
    }
    switch (static_cast<TftpOpcode>(*opcode)) {
    case TftpOpcode::Data:
        return;
    case TftpOpcode::Ack: {
        const auto block = tftpAckBlockOf(bytes);
        if (!block) {
            return;
        }
        onAck(*block);
        return;
    }
    case TftpOpcode::Rrq:
    case TftpOpcode::Wrq:
        sendError(kErrorAccessViolation);
        end(Phase::Ended, {Outcome::PeerFault, std::nullopt, {}});
        return;
    case TftpOpcode::Error: {
        const auto code = tftpErrorCodeOf(bytes);
        if (!code) {
            return;
        }
        io_.stopTimer();
        end(Phase::Ended, {Outcome::DeviceError, *code, tftpErrorMessageOf(bytes)});
        return;
    }
    }
    sendError(kErrorIllegalOperation);
    end(Phase::Ended, {Outcome::PeerFault, std::nullopt, {}});
}

// The device's first answer to the second WRQ, from whatever port, fixes the transfer's peer (its
// transfer ID); from then on only that address and port steer the transfer. A datagram from
// anywhere else gets ERROR 5 and leaves the transfer, its timer included, as it was; an ERROR or a
// datagram too short to be TFTP is not answered, so that two peers never trade errors.
bool TftpUpload::fromPeer(UdpAddress from, std::span<const std::uint8_t> bytes) {
    if (peerKnown_ ? from == peer_ : from.ip == device_) {
        if (!peerKnown_ && tftpOpcodeOf(bytes)) {
            peer_ = from;
            peerKnown_ = true;
        }
        return true;
    }
    const auto opcode = tftpOpcodeOf(bytes);
    if (opcode && *opcode != static_cast<std::uint8_t>(TftpOpcode::Error)) {
        io_.send(from, buildTftpError(kErrorUnknownTransferId, errorText(kErrorUnknownTransferId)));
    }
    return false;
}

void TftpUpload::onAck(std::int16_t block) {
    const bool repeat = block == static_cast<std::int16_t>(currentBlock_ - 1);
    if (repeat && repeatAnswered_) {
        // One resend per block answers a repeated ACK. Resending for every further copy would
        // let duplicated datagrams snowball (each copy of DATA draws another ACK); the timer
        // still resends if that copy is lost too.
        return;
    }
    io_.stopTimer();
    replySeen_ = true;
    lastAckBlock_ = block;
    if (repeat) {
        repeatAnswered_ = true;
        // The device missed what we sent last. Clearing ReplySeen lets the timer resend it again
        // if this copy is lost too; otherwise the transfer would wait for ever.
        phase_ = currentBlock_ == 0 ? Phase::Requesting : Phase::Sending;
        restartTimer();
        replySeen_ = false;
        ++counters_.retransmissions;
        sendCurrent();
        return;
    }
    if (block == currentBlock_ && currentBlock_ > 0) {
        counters_.bytesAcknowledged = nextOffset_; // the end of the block just acknowledged
    }
    if (block == 0) {
        counters_.requestAcknowledged = true;
    }
    const bool advance = block == 0 || (block == currentBlock_ && !lastBlockSent_);
    if (advance && currentBlock_ < std::numeric_limits<std::int16_t>::max()) {
        ++currentBlock_;
        phase_ = Phase::Sending;
        nextData();
        return;
    }
    if (!advance && block == currentBlock_ && lastBlockSent_) {
        complete();
        return;
    }
    sendError(kErrorOutOfSequence);
    phase_ = Phase::Stalled;
}

void TftpUpload::nextData() {
    const std::size_t remaining = image_.size() - std::min(nextOffset_, image_.size());
    std::size_t length = kTftpBlockSize;
    if (remaining < kTftpBlockSize) {
        length = remaining; // 0..511: this block ends the transfer
        lastBlockSent_ = true;
    }
    if (imageHundredth_ != 0) {
        // Percent of the block's first byte, counted from 1, before the block goes out.
        carry_.percent = static_cast<std::int16_t>(
            divideHalfEven(static_cast<std::int64_t>(nextOffset_) + 1, imageHundredth_));
    }
    io_.setLabel(std::to_string(carry_.percent) + "%");
    setBar(carry_.percent);
    writeTftpData(currentPacket_, currentBlock_, std::span(image_).subspan(nextOffset_, length));
    repeatAnswered_ = false;
    nextOffset_ += length;
    replySeen_ = false;
    sendCurrent();
    restartTimer();
}

void TftpUpload::complete() {
    io_.setLabel("100");
    setBar(100);
    replySeen_ = true;
    timeoutCount_ = 0;
    interval_ = kFirstInterval;
    finished_ = true;
    lastBlockSent_ = false;
    end(Phase::Completed, {Outcome::Completed, std::nullopt, {}});
}

void TftpUpload::onTimer() {
    if (phase_ == Phase::Starting) {
        startStep();
        return;
    }
    if (phase_ != Phase::Requesting && phase_ != Phase::Sending) {
        return;
    }
    if (replySeen_) {
        interval_ = kFirstInterval;
        timeoutCount_ = 0;
        restartTimer();
    } else {
        interval_ = kRetryInterval;
        restartTimer();
        ++timeoutCount_;
        ++counters_.timeouts;
        ++counters_.retransmissions;
        setBar(bar_ + kTimeoutBarStep);
        sendCurrent();
    }
    if (timeoutCount_ > kTimeoutLimit && !finished_) {
        end(Phase::Ended, {Outcome::TimedOut, std::nullopt, {}});
    }
}

void TftpUpload::cancel() {
    io_.stopTimer();
    io_.closeTransferSocket();
    if (phase_ != Phase::Completed && phase_ != Phase::Ended) {
        phase_ = Phase::Cancelled;
        outcome_ = Outcome::Cancelled;
    }
}

void TftpUpload::sendCurrent() {
    io_.send(peer_, currentPacket_);
}

void TftpUpload::sendError(std::uint8_t code) {
    const auto packet = buildTftpError(code, errorText(code));
    io_.stopTimer();
    io_.send(peer_, packet);
}

// The phase changes first: the owner's message box runs events, and whatever arrives meanwhile
// must find the transfer over.
void TftpUpload::end(Phase phase, Result result) {
    phase_ = phase;
    outcome_ = result.outcome;
    io_.stopTimer();
    io_.ended(result);
    io_.close();
}

void TftpUpload::setBar(int value) {
    if (value < 0 || value > 100) {
        return; // the bar keeps its value
    }
    bar_ = value;
    io_.setProgress(value);
}

void TftpUpload::restartTimer() {
    io_.startTimer(interval_);
}

} // namespace fw
