// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/SearchCycle.h"
#include "engine/SearchDriver.h"
#include "guilink/EngineJob.h"
#include "guilink/EngineLink.h"
#include "qt/GuiPost.h"
#include "qt/Platform.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace fw {

class SearchingDialog;

// What the main window's search cycle runs on in Qt: the engine's search port, the Searching dialog
// and the messages. The cycle's owner builds the cycle over it and ends the countdown on
// countdownEnded().
class WindowSearch final : public QObject, public SearchCycle::View {
    Q_OBJECT
public:
    WindowSearch(Platform& platform, EngineLink engine, QWidget* dialogParent, QObject* parent = nullptr);
    ~WindowSearch() override; // the sockets close on the engine's thread

    JobPort<SearchJob>& port() { return port_; }

    void startCountdown() override;
    void showMessage(const Message& message) override;
    AdapterListing readAdapters() override { return platform_.host.readAdapters(); }

signals:
    void countdownEnded();

private:
    Platform& platform_;
    QPointer<QWidget> dialogParent_;
    QPointer<SearchingDialog> dialog_;
    QtUiQueue queue_{this};
    EngineJob<engine::SearchDriver> port_;
};

} // namespace fw
