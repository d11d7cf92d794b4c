// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "netif/core/AdapterFacts.h"
#include "platform/DatagramEndpoint.h"
#include "setip/SetIpSocket.h"
#include "setip/core/SetIpExchange.h"

#include <QObject>
#include <QTimer>

namespace fw::cli {

// True (after saying why) when the command would give the device an address one of this host's
// adapters holds, searched on or not: the device would be cut off. --force does not change that.
bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console);

// One Set IP request through the dialog's exchange, from the adapter the device is on, sent again
// (with the same number, so a late answer to an earlier copy still counts) while no answer has come.
// The answer is printed on stdout; after a success the exchange sends its acknowledgement.
class CliSetIp final : public QObject {
    Q_OBJECT
public:
    CliSetIp(EndpointFactory makeEndpoint, Console& console, QObject* parent = nullptr);

    // False when port 4001 cannot be taken on the adapter (the reason is printed); nothing is sent.
    bool start(const SetIpCommand& command, const AdapterTable& adapters, const AdapterEntry& adapter);

signals:
    void finished(ExitStatus status);

private:
    void send();
    void onTimeout();
    void onAnswer(const SetIpAnswer& answer);
    void finish(ExitStatus status);

    Console& console_;
    SetIpExchange exchange_;
    SetIpSocket socket_;
    SetIpCommand command_;
    QTimer timer_;
    int copiesLeft_ = 0;
    bool done_ = false;
};

} // namespace fw::cli
