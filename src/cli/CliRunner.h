// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliShell.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "discovery/core/DeviceRow.h"
#include "netif/core/AdapterFacts.h"
#include "platform/DatagramEndpoint.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace fw::cli {

class CliSearch;

// Runs one parsed command on the event loop and reports its exit status once. The adapter listing
// and the endpoints come from outside, so the program uses the kernel's and tests may use fakes.
class CliRunner final : public QObject {
    Q_OBJECT
public:
    using ListAdapters = std::function<AdapterListing()>;

    CliRunner(Console& console, ListAdapters listAdapters, EndpointFactory makeEndpoint,
              QObject* parent = nullptr);

    void run(const Command& command);

signals:
    void finished(int status);

private:
    void runSearch(const SearchCommand& command);
    void runSetIp(const SetIpCommand& command);
    void runUpgrade(const UpgradeCommand& command);
    void runDoctor(const DoctorCommand& command);
    void runWatch(const WatchCommand& command);
    void runRollout(const RolloutCommand& command);
    // One line per adapter that got no answer and has a blocker the doctor knows.
    void hintBlockers(const CliSearch& search);

    // The adapters of the command, or none after the failure was reported.
    std::optional<AdapterTable> adapters(const std::vector<std::string>& names);
    // Searches until a row satisfies `wanted` or the wait is over; then(row or null).
    static bool portTaken(const CliSearch& search);
    // Reports adapters a search could not use; false (and exit status 2) when it sent nothing.
    bool reportSearchSent(const CliSearch& search);
    void locate(const AdapterTable& table, std::function<bool(const DeviceRow&)> wanted,
                std::function<void(const DeviceRow*)> then);
    void finish(ExitStatus status);

    Console& console_;
    ListAdapters listAdapters_;
    EndpointFactory makeEndpoint_;
    CliShell shell_;
    bool finished_ = false;
};

} // namespace fw::cli
