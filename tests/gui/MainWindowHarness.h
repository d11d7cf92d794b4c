// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A main window on fake adapters and fake endpoints: nothing it does reaches a network.

#include "app/MainWindow.h"
#include "app/RowDialogs.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "support/Fakes.h"

#include <QPoint>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace fw::test {

class RecordingDialogs final : public RowDialogs {
public:
    struct Call {
        std::string dialog;
        ProcessValues values;      // as the dialog found them
        std::size_t openDiscovery; // discovery sockets still open when it opened
    };
    explicit RecordingDialogs(FakeNetwork& network) : network_(network) {}
    void openSetIp(QWidget*, ProcessValues& values) override { record("Setips", values); }
    void openUpgrade(QWidget*, ProcessValues& values) override { record("Download", values); }
    std::vector<Call> calls;

private:
    void record(const char* dialog, const ProcessValues& values) {
        calls.push_back({dialog, values, network_.openOnPort(4001).size()});
    }
    FakeNetwork& network_;
};

struct FakeDevice {
    std::string name;
    std::string ip;
    MacAddress mac;
    bool isAp = false;
    std::string essId = "lab";
};

class MainWindowHarness {
public:
    MainWindowHarness(); // two fake adapters, 10.0.0.1 (eth0) and 10.0.1.1 (eth1)
    ~MainWindowHarness();

    // Shows the window and waits for the first search to have sent its requests.
    void start();
    // A reply to the current search from the device, arriving on adapter socket `adapter`.
    void reply(const FakeDevice& device, std::size_t adapter = 0);

    QWidget* listViewport() const;
    QPoint rowPoint(int row) const;
    QPoint spacePoint() const; // below the last row
    void press(Qt::MouseButton button, QPoint at);
    void rightClick(QPoint at); // press and release: the popup rule runs on the release
    void closePopups();
    // Opens the menu as the menu bar would (its aboutToShow runs) and closes it again.
    void openAndCloseMenu(QMenu* menu);
    QAction* action(const char* name) const;
    QWidget* widget(const char* name) const;
    // A QAction or a widget, by object name. Qt reports every hidden action as disabled, so for the
    // hidden entries this is the state the window keeps for them.
    bool enabled(const char* name) const;
    // Chooses a hidden entry, as no operator can: shown for the moment of the trigger.
    void invokeHidden(const char* name);

    FakePlatform fakes;
    Platform platform;
    RecordingDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    std::vector<int> programEndings; // exit statuses asked for
};

} // namespace fw::test
