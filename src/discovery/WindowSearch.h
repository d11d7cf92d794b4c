// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "discovery/core/SearchCycle.h"
#include "guilink/EngineLink.h"
#include "guilink/EngineSearch.h"
#include "guilink/GuiPost.h"
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QWidget;

namespace fw {

class DeviceListModel;
class SearchingDialog;

// The main window's searches in Qt: the search cycle over the engine, its Searching dialog and its
// messages; what happens is told by signals.
class WindowSearch final : public QObject, private SearchCycle::View {
    Q_OBJECT
public:
    WindowSearch(Platform& platform, EngineLink engine, ProcessValues& values, DeviceListModel& model,
                 QWidget* dialogParent, QObject* parent = nullptr);
    ~WindowSearch() override; // the sockets close on the engine's thread

    void search() { cycle_.search(); }
    bool countdownRunning() const { return cycle_.countdownRunning(); }
    void closeDiscoverySockets() { cycle_.closeDiscoverySockets(); }
    std::optional<std::int16_t> searchSequence() const { return cycle_.searchSequence(); }
    SearchCycle& cycle() { return cycle_; }

signals:
    void searchStarted();                        // the list was emptied; File -> Connect goes off
    void rowAdded(int row);                      // replies became rows, the last at `row`; row commands go on
    void searchFinished();                       // the countdown ended (or was cancelled)
    void adapterFailure(AdapterOutcome outcome); // string 29/30 was shown; the program must end now

private:
    void startCountdown() override;
    void showMessage(const Message& message) override;
    // The cycle's events as this object's signals.
    struct Relay final : SearchCycle::Events {
        explicit Relay(WindowSearch& w) : window(w) {}
        void searchStarted() override { emit window.searchStarted(); }
        void rowsAdded(int lastRow) override { emit window.rowAdded(lastRow); }
        void searchFinished() override { emit window.searchFinished(); }
        void adapterFailure(AdapterOutcome outcome) override { emit window.adapterFailure(outcome); }
        WindowSearch& window;
    };

    Platform& platform_;
    QPointer<QWidget> dialogParent_;
    QPointer<SearchingDialog> dialog_;
    QtUiQueue queue_{this};
    EngineSearch port_;
    SearchCycle cycle_;
    Relay relay_{*this};
};

} // namespace fw
