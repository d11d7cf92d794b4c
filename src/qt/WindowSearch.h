// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "discovery/SearchCycle.h"
#include "engine/SearchDriver.h"
#include "guilink/EngineJob.h"
#include "guilink/EngineLink.h"
#include "qt/GuiPost.h"
#include "qt/Platform.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QWidget;

namespace fw {

class DeviceListModel;
class SearchingDialog;

// The main window's searches in Qt: the search cycle over the engine, its Searching dialog and its
// messages. What happens goes to the cycle's Events, which the main window's logic takes.
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

private:
    void startCountdown() override;
    void showMessage(const Message& message) override;
    AdapterListing readAdapters() override { return platform_.host.readAdapters(); }

    Platform& platform_;
    QPointer<QWidget> dialogParent_;
    QPointer<SearchingDialog> dialog_;
    QtUiQueue queue_{this};
    EngineJob<engine::SearchDriver> port_;
    SearchCycle cycle_;
};

} // namespace fw
