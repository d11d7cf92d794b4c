// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/TftpUpload.h"

#include "common/StringTable.h"
#include "upgrade/TftpPackets.h"

#include <algorithm>
#include <limits>

namespace fw {
namespace {

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

TftpUpload::TftpUpload(UploadCarryOver& carry) : carry_(carry) {}

// The answer to one event: what was decided, and the progress when it changed since the last
// answer that carried one (the deadline is deadline()).
TftpUpload::Actions TftpUpload::answer() {
    Actions done = out_;
    out_ = {};
    if (!reportedAny_ || shown_ != reported_) {
        reportedAny_ = true;
        reported_ = shown_;
        done.progress = shown_;
    }
    return done;
}

TftpUpload::Actions TftpUpload::start(TimePoint now, Ipv4 device, std::vector<std::uint8_t> image) {
    if (phase_ != Phase::Idle) {
        return answer();
    }
    device_ = device;
    peer_ = UdpAddress{device, kTftpDevicePort};
    image_ = std::move(image);
    imageHundredth_ =
        static_cast<std::int32_t>(divideHalfEven(static_cast<std::int64_t>(image_.size()), 100));
    nextOffset_ = 0;
    shown_.counters = {};
    lastBlockSent_ = false;
    currentPacket_ = buildTftpWriteRequest("/");
    phase_ = Phase::Starting;
    startStep_ = 0;
    setBar(0);
    shown_.percent = 0;
    shown_.complete = false;
    out_.openSocket = true;
    out_.flushArp = true;
    deadline_ = now + kStepInterval;
    return answer();
}

TftpUpload::Actions TftpUpload::portUnavailable() {
    if (phase_ == Phase::Starting) {
        end(Phase::Ended, {Outcome::PortUnavailable, std::nullopt, {}});
    }
    return answer();
}

// One step of the start sequence; the deadline carries the one-second waits between the steps.
void TftpUpload::startStep(TimePoint now) {
    if (startStep_ == 0) {
        sendCurrent(); // the first WRQ wakes the device's server up
        out_.closeSocket = true;
        setBar(0);
    } else if (startStep_ <= kBarStepsBeforeRequest) {
        setBar(10 * startStep_);
    } else if (startStep_ == kBarStepsBeforeRequest + 1) {
        setBar(0);
        out_.flushArp = true;
    } else {
        out_.openSocket = true; // on failure the owner calls portUnavailable() and sends nothing
        peer_ = UdpAddress{device_, kTftpDevicePort};
        peerKnown_ = false;
        finished_ = false;
        timeoutCount_ = 0;
        replySeen_ = false;
        repeatAnswered_ = false;
        interval_ = kFirstInterval;
        phase_ = Phase::Requesting;
        sendCurrent();
        restartTimer(now);
        return;
    }
    ++startStep_;
    deadline_ = now + kStepInterval;
}

TftpUpload::Actions TftpUpload::onDatagram(TimePoint now, UdpAddress from,
                                           std::span<const std::uint8_t> bytes) {
    if (phase_ != Phase::Requesting && phase_ != Phase::Sending && phase_ != Phase::Stalled) {
        return answer();
    }
    if (!fromPeer(from, bytes)) {
        return answer();
    }
    const auto opcode = tftpOpcodeOf(bytes);
    if (!opcode) {
        return answer();
    }
    switch (static_cast<TftpOpcode>(*opcode)) {
    case TftpOpcode::Data:
        return answer();
    case TftpOpcode::Ack:
        if (const auto block = tftpAckBlockOf(bytes)) {
            onAck(now, *block);
        }
        return answer();
    case TftpOpcode::Rrq:
    case TftpOpcode::Wrq:
        sendError(peer_, kErrorAccessViolation);
        end(Phase::Ended, {Outcome::PeerFault, std::nullopt, {}});
        return answer();
    case TftpOpcode::Error:
        if (const auto code = tftpErrorCodeOf(bytes)) {
            end(Phase::Ended, {Outcome::DeviceError, *code, tftpErrorMessageOf(bytes)});
        }
        return answer();
    }
    sendError(peer_, kErrorIllegalOperation);
    end(Phase::Ended, {Outcome::PeerFault, std::nullopt, {}});
    return answer();
}

// The device's first answer to the second WRQ, from whatever port, fixes the transfer's peer (its
// transfer ID); from then on only that address and port steer the transfer. A datagram from
// anywhere else gets ERROR 5 and leaves the transfer, its deadline included, as it was; an ERROR or
// a datagram too short to be TFTP is not answered, so that two peers never trade errors.
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
        errorPacket_ = buildTftpError(kErrorUnknownTransferId, errorText(kErrorUnknownTransferId));
        out_.send = Datagram{from, errorPacket_};
    }
    return false;
}

void TftpUpload::onAck(TimePoint now, std::int16_t block) {
    const bool repeat = block == static_cast<std::int16_t>(currentBlock_ - 1);
    if (repeat && repeatAnswered_) {
        // One resend per block answers a repeated ACK. Resending for every further copy would
        // let duplicated datagrams snowball (each copy of DATA draws another ACK); the deadline
        // still resends if that copy is lost too.
        return;
    }
    deadline_.reset();
    replySeen_ = true;
    lastAckBlock_ = block;
    if (repeat) {
        repeatAnswered_ = true;
        // The device missed what we sent last. Clearing ReplySeen lets the deadline resend it again
        // if this copy is lost too; otherwise the transfer would wait for ever.
        phase_ = currentBlock_ == 0 ? Phase::Requesting : Phase::Sending;
        restartTimer(now);
        replySeen_ = false;
        ++shown_.counters.retransmissions;
        sendCurrent();
        return;
    }
    if (block == currentBlock_ && currentBlock_ > 0) {
        shown_.counters.bytesAcknowledged = nextOffset_; // the end of the block just acknowledged
    }
    if (block == 0) {
        shown_.counters.requestAcknowledged = true;
    }
    const bool advance = block == 0 || (block == currentBlock_ && !lastBlockSent_);
    if (advance && currentBlock_ < std::numeric_limits<std::int16_t>::max()) {
        ++currentBlock_;
        phase_ = Phase::Sending;
        nextData(now);
        return;
    }
    if (!advance && block == currentBlock_ && lastBlockSent_) {
        complete();
        return;
    }
    sendError(peer_, kErrorOutOfSequence);
    phase_ = Phase::Stalled;
}

void TftpUpload::nextData(TimePoint now) {
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
    shown_.percent = carry_.percent;
    setBar(carry_.percent);
    writeTftpData(currentPacket_, currentBlock_, std::span(image_).subspan(nextOffset_, length));
    repeatAnswered_ = false;
    nextOffset_ += length;
    replySeen_ = false;
    sendCurrent();
    restartTimer(now);
}

void TftpUpload::complete() {
    shown_.complete = true;
    setBar(100);
    replySeen_ = true;
    timeoutCount_ = 0;
    interval_ = kFirstInterval;
    finished_ = true;
    lastBlockSent_ = false;
    end(Phase::Completed, {Outcome::Completed, std::nullopt, {}});
}

TftpUpload::Actions TftpUpload::onDeadline(TimePoint now) {
    if (!deadline_ || now < *deadline_) {
        return answer();
    }
    if (phase_ == Phase::Starting) {
        startStep(now);
        return answer();
    }
    if (phase_ != Phase::Requesting && phase_ != Phase::Sending) {
        deadline_.reset();
        return answer();
    }
    if (replySeen_) {
        interval_ = kFirstInterval;
        timeoutCount_ = 0;
        restartTimer(now);
    } else {
        interval_ = kRetryInterval;
        restartTimer(now);
        ++timeoutCount_;
        ++shown_.counters.timeouts;
        ++shown_.counters.retransmissions;
        setBar(shown_.bar + kTimeoutBarStep);
        sendCurrent();
    }
    if (timeoutCount_ > kTimeoutLimit && !finished_) {
        end(Phase::Ended, {Outcome::TimedOut, std::nullopt, {}});
    }
    return answer();
}

TftpUpload::Actions TftpUpload::cancel() {
    deadline_.reset();
    out_ = {};
    out_.closeSocket = true;
    if (phase_ != Phase::Completed && phase_ != Phase::Ended && phase_ != Phase::Cancelled) {
        phase_ = Phase::Cancelled;
        outcome_ = Outcome::Cancelled;
        out_.finished = Result{Outcome::Cancelled, std::nullopt, {}};
    }
    return answer();
}

void TftpUpload::sendCurrent() {
    out_.send = Datagram{peer_, currentPacket_};
}

void TftpUpload::sendError(UdpAddress to, std::uint8_t code) {
    errorPacket_ = buildTftpError(code, errorText(code));
    deadline_.reset();
    out_.send = Datagram{to, errorPacket_};
}

void TftpUpload::end(Phase phase, Result result) {
    phase_ = phase;
    outcome_ = result.outcome;
    deadline_.reset();
    out_.finished = std::move(result);
}

void TftpUpload::setBar(int value) {
    if (value < 0 || value > 100) {
        return; // the bar keeps its value
    }
    shown_.bar = value;
}

void TftpUpload::restartTimer(TimePoint now) {
    deadline_ = now + interval_;
}

} // namespace fw
