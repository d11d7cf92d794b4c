// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "discovery/core/DeviceInventory.h"
#include "netif/core/AdapterFacts.h"
#include "platform/DatagramEndpoint.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fw {
class TerminationSignals;
}

namespace fw::cli {

class CliSearch;

// `watch`: a search every interval, each holding its sockets only while it waits for answers, fed
// into a DeviceInventory whose events are written as JSON lines, plain lines or a live table.
// SIGINT and SIGTERM end it with status 0.
class CliWatch final : public QObject {
    Q_OBJECT
public:
    CliWatch(Console& console, std::function<AdapterListing()> listAdapters, EndpointFactory makeEndpoint,
             WatchCommand command, QObject* parent = nullptr);
    ~CliWatch() override;

    void start();

signals:
    void finished(ExitStatus status);

private:
    void search();
    void searched(CliSearch* search, const AdapterTable& table);
    void report(const std::vector<DeviceInventory::Event>& events, const AdapterTable& table);
    void redraw(const AdapterTable& table);
    void stop();

    Console& console_;
    std::function<AdapterListing()> listAdapters_;
    EndpointFactory makeEndpoint_;
    WatchCommand command_;
    DeviceInventory inventory_;
    TerminationSignals* signals_ = nullptr; // child object
    QPointer<CliSearch> current_;
    QTimer next_;
    std::chrono::steady_clock::time_point startedAt_;
    std::vector<std::string> lastPortProblems_; // said again only when they change
    AdapterTable named_;                        // this search's adapters, then earlier addresses
    std::deque<std::string> recent_;            // the live view's last event lines
    bool live_ = false;
    bool done_ = false;
};

} // namespace fw::cli
