// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "discovery/core/DeviceRow.h"
#include "guilink/EngineLink.h"
#include "guilink/GuiPost.h"
#include "netif/core/AdapterSelection.h"
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace fw {

namespace engine {
class SearchDriver;
struct SocketError;
} // namespace engine

class DeviceListModel;
class SearchingDialog;

// The main window's searches. The engine's search driver owns the sockets (one per adapter, port
// 4001, kept open between searches) and the replies; this side rebuilds the adapter table, empties
// the list, runs the Searching dialog's countdown (15 x 0.2 s) and appends each listed row as it
// comes back. Rows of an earlier search that arrive late are dropped.
// Rows come back in batches: the engine's thread adds to the batch and queues one call for it, the
// window takes the whole batch in one insertion, so a burst of a thousand replies is a few short
// turns of the event loop instead of a thousand queued calls handled in one go.
class WindowSearch final : public QObject {
    Q_OBJECT
public:
    WindowSearch(Platform& platform, EngineLink engine, ProcessValues& values, DeviceListModel& model,
                 QWidget* dialogParent, QObject* parent = nullptr);
    ~WindowSearch() override; // the sockets close on the engine's thread

    // Starts a search. When a countdown is already running, the new search sends its requests and
    // returns without a countdown of its own; the running countdown ends both.
    void search();
    bool countdownRunning() const;
    // Before Set IP and the upgrade, which need port 4001 or the adapter themselves. The engine
    // closes them before it runs any job posted later.
    void closeDiscoverySockets();
    // The number the engine gave the latest search, once it has said; none before.
    std::optional<std::int16_t> searchSequence() const { return sequence_; }

signals:
    void searchStarted();                        // the list was emptied; File -> Connect goes off
    void rowAdded(int row);                      // replies became rows, the last at `row`; row commands go on
    void searchFinished();                       // the countdown ended (or was cancelled)
    void adapterFailure(AdapterOutcome outcome); // string 29/30 was shown; the program must end now

private:
    struct PortInUse {
        std::string interfaceName;
        std::optional<Ipv4> ip;
    };
    struct Batch {
        std::mutex mutex;
        std::vector<std::pair<std::uint64_t, DeviceRow>> rows; // with the search each answers
        std::uint64_t listing = 0; // the search the driver lists rows for: the engine's thread only
    };
    void takeBatch();
    void failAdapters(AdapterOutcome outcome);
    void reportPortsInUse(const std::vector<PortInUse>& adapters);
    void startCountdown();

    Platform& platform_;
    EngineLink engine_;
    ProcessValues& values_;
    DeviceListModel& model_;
    QPointer<QWidget> dialogParent_;
    std::uint64_t searches_ = 0;           // searches started; rows are tagged with the one they answer
    std::optional<std::int16_t> sequence_; // the latest search's number, as the driver reported it
    // Used and finally destroyed on the engine's thread.
    std::shared_ptr<engine::SearchDriver> driver_;
    QPointer<SearchingDialog> dialog_;
    std::shared_ptr<Batch> batch_ = std::make_shared<Batch>();
    GuiPost back_{this};
};

} // namespace fw
