// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "discovery/core/DiscoverySearch.h"
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>

#include <unordered_set>
#include <vector>

class QWidget;

namespace fw {

class DeviceListModel;
class SearchingDialog;

// The main window's searches: one discovery socket per adapter (port 4001, tied to the adapter),
// one request per adapter per search, the Searching dialog's countdown (15 x 0.2 s, timer driven),
// and every accepted reply from a new sender appended to the model. Sockets stay open between
// searches and keep taking replies to the latest search until closeDiscoverySockets().
class SearchCycle final : public QObject, private DiscoverySearch::Listener {
    Q_OBJECT
public:
    SearchCycle(Platform& platform, ProcessValues& values, DeviceListModel& model, QWidget* dialogParent,
                QObject* parent = nullptr);
    ~SearchCycle() override;

    // Starts a search. When a countdown is already running, the new search sends its requests and
    // returns without a countdown of its own; the running countdown ends both.
    void search();
    bool countdownRunning() const;
    // Before Set IP and the upgrade, which need port 4001 or the adapter themselves.
    void closeDiscoverySockets();
    std::int16_t searchSequence() const;

signals:
    void searchStarted();                        // the list was emptied; File -> Connect goes off
    void rowAdded(int row);                      // a reply became a row; the row commands go on
    void searchFinished();                       // the countdown ended (or was cancelled)
    void adapterFailure(AdapterOutcome outcome); // string 29/30 was shown; the program must end now

private:
    void rowListed(const DeviceRow& row) override;
    void failAdapters(AdapterOutcome outcome);
    // Binds every closed socket; returns the adapters whose port 4001 another program holds.
    std::vector<const AdapterEntry*> openDiscoverySockets();
    void reportPortsInUse(const std::vector<const AdapterEntry*>& adapters);
    void sendDiscovery();
    DatagramEndpoint* makeSocket();
    void discardSocket(DatagramEndpoint* socket);
    void onDatagramsReady(const QPointer<DatagramEndpoint>& socket);
    void readDatagrams(const QPointer<DatagramEndpoint>& socket);
    void startCountdown();

    Platform& platform_;
    ProcessValues& values_;
    DeviceListModel& model_;
    QPointer<QWidget> dialogParent_;
    DiscoverySearch search_;
    // Instance i belongs to adapter i. Instance 0 lives as long as this object; 1.. are made anew
    // at every search. Qt children of this object.
    std::vector<QPointer<DatagramEndpoint>> sockets_;
    QPointer<SearchingDialog> dialog_;
    // Sockets whose reading goes on in a queued continuation: their ready signals are left to it, so
    // that one turn of the event loop reads at most one batch per socket however often they fire.
    std::unordered_set<const DatagramEndpoint*> continuing_;
};

} // namespace fw
