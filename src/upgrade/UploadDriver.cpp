#include "upgrade/UploadDriver.h"

#include "upgrade/UploadDisplay.h"
#include "upgrade/core/Handshake.h"
#include "upgrade/core/TftpPackets.h"

#include <QPointer>

namespace fw {

UploadDriver::UploadDriver(EndpointFactory makeEndpoint, Shell& shell, UploadCarryOver& carry,
                           UploadDisplay& display, QObject* parent)
    : QObject(parent), makeEndpoint_(std::move(makeEndpoint)), shell_(shell), display_(display),
      upload_(*this, carry) {
    timer_.setTimerType(Qt::PreciseTimer);
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
    sendHandshake();
    upload_.start(device_.value_or(Ipv4::any()), std::move(image));
}

void UploadDriver::stop() {
    upload_.cancel();
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
    while (alive && transferSocket_ && transferSocket_->isOpen()) {
        const auto d = transferSocket_->read();
        if (!d) {
            break;
        }
        upload_.onDatagram(UdpAddress{d->senderIp, d->senderPort}, d->bytes);
    }
}

void UploadDriver::tick() {
    const bool wasStarting = upload_.phase() == TftpUpload::Phase::Starting;
    upload_.onTimer();
    if (wasStarting && upload_.phase() == TftpUpload::Phase::Requesting) {
        emit secondRequestSent();
    }
}

void UploadDriver::openTransferSocket() {
    if (!transferSocket_) {
        transferSocket_ = makeEndpoint_();
        connect(transferSocket_.get(), &DatagramEndpoint::datagramsReady, this, &UploadDriver::readTransfer);
    }
    transferSocket_->close();
    if (!device_ || !local_) {
        return;
    }
    transferSocket_->setRemote(*device_, kTftpDevicePort);
    transferSocket_->bindToAddress(*local_, kTftpLocalPort);
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
    timer_.start(interval);
}

void UploadDriver::stopTimer() {
    timer_.stop();
}

void UploadDriver::setProgress(int value) {
    display_.setProgress(value);
}

void UploadDriver::setLabel(const std::string& text) {
    display_.setLabel(text);
}

void UploadDriver::ended(const TftpUpload::Result& result) {
    display_.showResult(result);
}

void UploadDriver::close() {
    display_.uploadEnded(upload_.outcome());
}

} // namespace fw
