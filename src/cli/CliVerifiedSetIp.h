// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "common/AdapterEntry.h"
#include "discovery/core/DeviceRow.h"
#include "platform/DatagramEndpoint.h"

#include <QElapsedTimer>
#include <QObject>

#include <optional>
#include <set>
#include <string>

namespace fw::cli {

class CliSearch;

// set-ip --verify: a search first, which refuses an address another device already answers from
// (unless --force) and finds the adapter the device is on; then the Set IP exchange; after the
// device's OK, searches until its MAC answers from the new address (for DHCP: from any address) or
// the verification time is over.
class CliVerifiedSetIp final : public QObject {
    Q_OBJECT
public:
    CliVerifiedSetIp(Console& console, EndpointFactory makeEndpoint, SetIpCommand command, AdapterTable table,
                     QObject* parent = nullptr);

    void start();

signals:
    void finished(ExitStatus status);

private:
    CliSearch* searchFor(std::chrono::milliseconds wait, std::function<bool(const DeviceRow&)> stopWhen);
    // False (after finishing with status 2) when the search could send nothing.
    bool sent(const CliSearch& search);
    void checked(const CliSearch& search);
    void verify();
    void verified(const CliSearch& search);
    bool wanted(const DeviceRow& row) const;
    void finish(ExitStatus status);

    Console& console_;
    EndpointFactory makeEndpoint_;
    SetIpCommand command_;
    AdapterTable table_;
    QElapsedTimer sinceOk_;
    std::optional<DeviceRow> lastSeen_; // the device's latest answer during verification
    std::set<std::string> said_;        // port problems already reported
    bool done_ = false;
};

} // namespace fw::cli
