// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setip/SetIpAnswerText.h"
#include "setip/core/SetIpExchange.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <system_error>

namespace fw {

class DatagramEndpoint;

// sock1: the exchange's UDP endpoint, 0.0.0.0:4001 tied to one adapter, sending to
// 255.255.255.255:4000. Feeds every datagram that arrives to the exchange and carries out what the
// exchange asks; how a message is shown is up to the owner (a message box, a line on a terminal).
// Socket errors are swallowed: the socket stays open. QtCore only.
class SetIpSocket final : public QObject, public SetIpExchange::Io {
    Q_OBJECT
public:
    using Answered = std::function<void(const SetIpAnswer&)>; // returns once the answer was shown

    SetIpSocket(SetIpExchange& exchange, std::unique_ptr<DatagramEndpoint> endpoint, Answered answered,
                QObject* parent = nullptr);
    ~SetIpSocket() override;

    // False when the port cannot be taken; lastError() then has the system's reason.
    bool open(const AdapterEntry& adapter);
    void close();
    bool isOpen() const;
    std::error_code lastError() const;

    // SetIpExchange::Io. A failed send is not reported: there is no retransmission to drive.
    void send(std::span<const std::uint8_t> record) override;
    void answered(const SetIpAnswer& answer) override;

private:
    void readPending();

    SetIpExchange& exchange_;
    std::unique_ptr<DatagramEndpoint> endpoint_;
    Answered answered_;
};

} // namespace fw
