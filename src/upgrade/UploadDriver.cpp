// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/UploadDriver.h"

#include "upgrade/UploadDisplay.h"
#include "upgrade/core/Handshake.h"
#include "upgrade/core/TftpPackets.h"

#include <QPointer>

#include <algorithm>

namespace fw {
namespace {

// A round trip to a device on the LAN takes well under this. The longest the thread is held for one
// ACK, and only while the device's last answer came within it: an ACK that takes longer comes
// through the event loop, so a slow device never holds up other uploads or the window.
constexpr std::chrono::microseconds kReplyWait{1000};
// Blocks answered back to back before the event loop runs again.
constexpr std::chrono::milliseconds kWaitingPass{2};

} // namespace

UploadDriver::UploadDriver(EndpointFactory makeEndpoint, Shell& shell, UploadCarryOver& carry,
                           UploadDisplay& display, QObject* parent)
    : QObject(parent), makeEndpoint_(std::move(makeEndpoint)), shell_(shell), display_(display),
      upload_(*this, carry) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &UploadDriver::tick);
}

UploadDriver::~UploadDriver() {
    // Quietly: the display may be half destroyed by now.
    timer_.stop();
    if (transferSocket_) {
        transferSocket_->close();
    }
    if (handshakeSocket_) {
        handshakeSocket_->close();
    }
}

void UploadDriver::begin(std::optional<Ipv4> device, std::optional<Ipv4> local,
                         std::vector<std::uint8_t> image) {
    if (begun_) {
        return;
    }
    begun_ = true;
    device_ = device;
    local_ = local;
    flushArp();
    // The transfer socket first: the first write request leaves a second after the handshake
    // either way, and a port that cannot be bound ends the upload before the device is told of it.
    const QPointer<UploadDriver> alive(this); // an ended upload's message box runs events
    upload_.start(device_.value_or(Ipv4::any()), std::move(image));
    if (alive && upload_.phase() != TftpUpload::Phase::Ended) {
        sendHandshake();
    }
}

void UploadDriver::stop() {
    upload_.cancel();
    timer_.stop();
    if (handshakeSocket_) {
        handshakeSocket_->close();
    }
}

void UploadDriver::sendHandshake() {
    handshakeSocket_ = makeEndpoint_();
    connect(handshakeSocket_.get(), &DatagramEndpoint::datagramsReady, this,
            &UploadDriver::readHandshakeAnswers);
    handshakeSocket_->close();
    if (!device_ || !local_) {
        return;
    }
    handshakeSocket_->setRemote(*device_, kHandshakePort);
    if (!handshakeSocket_->bindToAddress(*local_, 0)) {
        return;
    }
    const HandshakeRecord record = buildHandshakeRecord();
    handshakeSocket_->send(record);
}

void UploadDriver::readHandshakeAnswers() {
    // The device's answer means nothing to the upload; read it so it does not pile up.
    while (handshakeSocket_ && handshakeSocket_->isOpen()) {
        const auto d = handshakeSocket_->read();
        if (!d) {
            break;
        }
        (void)readHandshakeAnswer(d->bytes);
    }
}

void UploadDriver::readTransfer() {
    const QPointer<UploadDriver> alive(this);
    const auto passEnd = std::chrono::steady_clock::now() + kWaitingPass;
    bool wait = false;
    while (alive && transferSocket_ && transferSocket_->isOpen()) {
        const auto d = wait ? transferSocket_->readWithin(kReplyWait) : transferSocket_->read();
        if (!d) {
            break;
        }
        const bool quick = std::chrono::steady_clock::now() - answeredAt_ <= kReplyWait;
        upload_.onDatagram(UdpAddress{d->senderIp, d->senderPort}, d->bytes);
        if (!alive) {
            break;
        }
        answeredAt_ = std::chrono::steady_clock::now();
        wait = quick && awaitingReply(passEnd);
    }
}

// One block is in flight and its ACK is a round trip away: waiting for it here, as a plain blocking
// client does, costs one call where a turn of the event loop costs three. Only a device whose last
// answer came within the wait is waited for (readTransfer), the wait is short and the pass bounded,
// so the window still repaints and takes Cancel within a few milliseconds, other uploads on this
// thread keep their pace, and it never reaches into the timer's next tick.
bool UploadDriver::awaitingReply(std::chrono::steady_clock::time_point passEnd) const {
    const auto phase = upload_.phase();
    if ((phase != TftpUpload::Phase::Requesting && phase != TftpUpload::Phase::Sending) || !due_) {
        return false;
    }
    const auto latest = std::chrono::steady_clock::now() + kReplyWait;
    return latest <= passEnd && latest <= *due_;
}

void UploadDriver::tick() {
    if (!due_) {
        return; // stopped since the QTimer was armed
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < *due_) {
        armTimer(); // restarted since: not due yet
        return;
    }
    // Periodic, as a running timer is, unless the upload stops or restarts it from onTimer().
    due_ = *due_ + interval_ < now ? now + interval_ : *due_ + interval_;
    const bool wasStarting = upload_.phase() == TftpUpload::Phase::Starting;
    upload_.onTimer();
    if (wasStarting && upload_.phase() == TftpUpload::Phase::Requesting) {
        emit secondRequestSent();
    }
    if (due_) {
        armTimer();
    }
}

void UploadDriver::armTimer() {
    if (timer_.isActive() && armedFor_ <= *due_) {
        return; // it fires first and moves itself on; a new registration per block would cost more
    }
    const auto now = std::chrono::steady_clock::now();
    const auto wait =
        std::max(std::chrono::ceil<std::chrono::milliseconds>(*due_ - now), std::chrono::milliseconds{0});
    armedFor_ = now + wait;
    timer_.start(wait);
}

bool UploadDriver::openTransferSocket() {
    if (!transferSocket_) {
        transferSocket_ = makeEndpoint_();
        connect(transferSocket_.get(), &DatagramEndpoint::datagramsReady, this, &UploadDriver::readTransfer);
    }
    transferSocket_->close();
    if (!device_ || !local_) {
        return true; // nowhere to bind: the transfer times out, as the window's always did
    }
    transferSocket_->setRemote(*device_, kTftpDevicePort);
    if (!transferSocket_->bindToAddress(*local_, kTftpLocalPort)) {
        transferPortError_ = transferSocket_->lastError();
        return false;
    }
    return true;
}

void UploadDriver::closeTransferSocket() {
    if (transferSocket_) {
        transferSocket_->close();
    }
}

void UploadDriver::send(UdpAddress to, std::span<const std::uint8_t> bytes) {
    if (!transferSocket_ || !device_) {
        return;
    }
    transferSocket_->setRemote(to.ip, to.port);
    transferSocket_->send(bytes);
}

void UploadDriver::flushArp() {
    if (device_) {
        shell_.flushNeighbour(*device_);
    }
}

void UploadDriver::startTimer(std::chrono::milliseconds interval) {
    interval_ = interval;
    due_ = std::chrono::steady_clock::now() + interval;
    armTimer();
}

void UploadDriver::stopTimer() {
    due_.reset(); // an armed QTimer still fires and finds nothing due
}

void UploadDriver::setProgress(int value) {
    // The percent changes once every 328 blocks of the largest image; only changes go to the display.
    if (value != shownProgress_) {
        shownProgress_ = value;
        display_.setProgress(value);
    }
}

void UploadDriver::setLabel(const std::string& text) {
    if (text != shownLabel_) {
        shownLabel_ = text;
        display_.setLabel(text);
    }
}

void UploadDriver::ended(const TftpUpload::Result& result) {
    display_.showResult(result);
}

void UploadDriver::close() {
    timer_.stop();
    display_.uploadEnded(upload_.outcome());
}

} // namespace fw
