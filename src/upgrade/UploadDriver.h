// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "platform/DatagramEndpoint.h"
#include "platform/Shell.h"
#include "upgrade/core/TftpUpload.h"
#include "upgrade/core/UploadCarryOver.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace fw {

class UploadDisplay;

// Runs one upgrade on real (or fake) sockets and a QTimer: the ARP flush and the handshake from a
// free port on the local adapter to the device's port 4000 (answers read and dropped), then the
// TFTP upload from local port 14321. QtCore only, so the dialog and a command-line program share it.
class UploadDriver final : public QObject, private TftpUpload::Io {
    Q_OBJECT
public:
    UploadDriver(EndpointFactory makeEndpoint, Shell& shell, UploadCarryOver& carry, UploadDisplay& display,
                 QObject* parent = nullptr);
    ~UploadDriver() override;

    // The image has passed checkImage. Port 14321 is bound before the handshake goes out, so when
    // it cannot be (another program holds it) the upload ends at once with PortUnavailable and
    // nothing is sent. Another step that fails (an address not known, the handshake's bind) is
    // skipped, as the device would see it: nothing answers and the transfer times out. Once per
    // driver.
    void begin(std::optional<Ipv4> device, std::optional<Ipv4> local, std::vector<std::uint8_t> image);
    // Timer stopped, the transfer socket closed, then the handshake socket; nothing is sent
    // afterwards. Safe to call at any time and more than once.
    void stop();

    TftpUpload::Phase phase() const { return upload_.phase(); }
    TftpUpload::Outcome outcome() const { return upload_.outcome(); }
    int progress() const { return upload_.progress(); }
    std::uint64_t bytesAcknowledged() const { return upload_.bytesAcknowledged(); }
    const TftpUpload::Counters& counters() const { return upload_.counters(); }
    // Why port 14321 could not be bound (PortUnavailable): std::errc::address_in_use when another
    // socket holds it.
    std::error_code transferPortError() const { return transferPortError_; }

signals:
    void secondRequestSent(); // the start sequence is over; the transfer proper begins

private:
    // TftpUpload::Io
    bool openTransferSocket() override;
    void closeTransferSocket() override;
    void send(UdpAddress to, std::span<const std::uint8_t> bytes) override;
    void flushArp() override;
    void startTimer(std::chrono::milliseconds interval) override;
    void stopTimer() override;
    void setProgress(int value) override;
    void setLabel(const std::string& text) override;
    void ended(const TftpUpload::Result& result) override;
    void close() override;

    void sendHandshake();
    void readTransfer();
    bool awaitingReply(std::chrono::steady_clock::time_point passEnd) const;
    void readHandshakeAnswers();
    void tick();
    void armTimer();

    EndpointFactory makeEndpoint_;
    Shell& shell_;
    UploadDisplay& display_;
    TftpUpload upload_;
    // The upload's one timer. Its deadline moves with every block; the QTimer is armed for the
    // earliest deadline only and tick() carries it on to the current one.
    QTimer timer_;
    std::optional<std::chrono::steady_clock::time_point> due_; // none while the upload's timer is stopped
    std::chrono::steady_clock::time_point armedFor_;
    std::chrono::milliseconds interval_{0};
    // When the transfer's last datagram was handled (and the next block sent): the device's next
    // answer is waited for in place only if the one before came within kReplyWait of it.
    std::chrono::steady_clock::time_point answeredAt_;
    // What the display shows: the upload reports its percent for every block.
    std::optional<std::string> shownLabel_;
    std::optional<int> shownProgress_;
    std::unique_ptr<DatagramEndpoint> handshakeSocket_; // Winsock1
    std::unique_ptr<DatagramEndpoint> transferSocket_;  // Winsock2
    std::optional<Ipv4> device_;
    std::optional<Ipv4> local_;
    std::error_code transferPortError_;
    bool begun_ = false;
};

} // namespace fw
