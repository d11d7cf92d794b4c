// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "discovery/core/DiscoverySearch.h"
#include "platform/DatagramEndpoint.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fw::cli {

// One search, as the main window runs it but without a window: one socket per adapter on port 4001
// tied to the adapter, one request each to 255.255.255.255:4000, every accepted reply from a new
// sender kept, finished() when the wait is over. The sockets close when it finishes, so Set IP can
// take port 4001 afterwards.
class CliSearch final : public QObject, private DiscoverySearch::Listener {
    Q_OBJECT
public:
    CliSearch(EndpointFactory makeEndpoint, AdapterTable adapters, QObject* parent = nullptr,
              DiscoverySearch::Keying keying = DiscoverySearch::Keying::Sender);
    ~CliSearch() override;

    // stopWhen, when given, ends the wait as soon as a listed row satisfies it.
    void start(std::chrono::milliseconds wait, std::function<bool(const DeviceRow&)> stopWhen = {});

    const std::vector<DeviceRow>& rows() const { return rows_; }
    const AdapterTable& adapters() const { return values_.adapterTable; }
    struct BindFailure {
        AdapterEntry adapter;
        std::error_code error; // std::errc::address_in_use: another program holds port 4001 there
    };
    // Each adapter whose socket could not be bound, in table order.
    const std::vector<BindFailure>& bindFailures() const { return bindFailures_; }
    // Requests that left; 0 means the search reached nobody.
    int requestsSent() const { return requestsSent_; }

signals:
    void finished();

private:
    void rowListed(const DeviceRow& row) override;
    void readPending(DatagramEndpoint* socket);
    void finish();

    EndpointFactory makeEndpoint_;
    ProcessValues values_;
    DiscoverySearch search_;
    std::vector<std::unique_ptr<DatagramEndpoint>> sockets_;
    std::vector<DeviceRow> rows_;
    std::vector<BindFailure> bindFailures_;
    std::function<bool(const DeviceRow&)> stopWhen_;
    QTimer wait_;
    int requestsSent_ = 0;
    bool stopRequested_ = false;
    bool done_ = false;
};

// "UDP port 4001 on eth1 (10.77.2.1) is in use by another program" for EADDRINUSE, otherwise
// "cannot use UDP port 4001 on eth1 (10.77.2.1): " and the system's reason.
std::string portProblem(const AdapterEntry& adapter, std::error_code error);

} // namespace fw::cli
