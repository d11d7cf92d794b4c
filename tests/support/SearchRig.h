// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's platform on a lab workstation's real adapters and the engine's real sockets (fake
// message boxes, shell and file chooser) with the window's search over it, for the hostile net tests.

#include "platform/SystemHost.h"
#include "qt/DeviceListModel.h"
#include "qt/WindowSearch.h"
#include "support/Fakes.h"
#include "support/ManyDevices.h"
#include "support/NetLab.h"

#include <QTest>
#include <QWidget>

#include <algorithm>

namespace fw::test {

// Moves the thread into the lab's workstation namespace, then starts the engine's thread there; the
// Searching dialog has a real parent.
struct SearchRig {
    explicit SearchRig(NetLab& lab) {
        lab.enterWorkstation();
        engine.startThread();
        window.show();
        QObject::connect(&view, &WindowSearch::countdownEnded, [this] { cycle.countdownEnded(); });
    }
    struct NoEvents final : SearchCycle::Events {
        void searchStarted(SearchCycle::Adapters) override {}
        void rowsAdded(int) override {}
        void searchFinished() override {}
        void adapterFailure(AdapterOutcome) override {}
    };
    FakeMessageBoxes messages;
    CallLog calls;
    FakeShell shell{calls};
    FakeFileChooser files;
    SystemHost host;
    Platform platform{messages, shell, host, files};
    engine::Engine engine;
    EngineLink link{engine, engine.endpoints()};
    static std::string noText(int, int) { return {}; }
    DeviceListModel model{{noText, noText}};
    QWidget window;
    WindowSearch view{platform, link, &window};
    NoEvents events;
    SearchCycle cycle{view.port(), model, view, events};

    // One search, run in the event loop until its countdown ends (at most 10 s).
    bool searchToEnd() {
        cycle.search();
        return QTest::qWaitFor([this] { return !cycle.countdownRunning(); }, 10000);
    }
    std::vector<DeviceRow> rowsByIp() const {
        std::vector<DeviceRow> out;
        for (int i = 0; i < model.rowCount(); ++i) {
            out.push_back(model.rowAt(i));
        }
        std::sort(out.begin(), out.end(), [](const DeviceRow& a, const DeviceRow& b) { return a.ip < b.ip; });
        return out;
    }
};

} // namespace fw::test
