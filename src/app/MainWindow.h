// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/CommandEnabling.h"
#include "common/ProcessValues.h"
#include "guilink/EngineLink.h"
#include "netif/core/AdapterSelection.h"
#include "platform/Platform.h"

#include <QMainWindow>

class QFrame;
class QToolButton;

namespace fw {

class DeviceListModel;
class DeviceListView;
class MainMenus;
class RowDialogs;
class WindowSearch;
struct DeviceRow;

// The main window (start): menus, the two-button toolbar, the device list and the row commands.
// Construction prepares everything (captions, columns, initial enabling); the first show starts the
// first search half a second later. Every close request asks for confirmation; OK, and the fatal
// adapter failure of a search, emit programEnding(), on which the program must end at once with
// that exit status.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Platform& platform, EngineLink engine, RowDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override; // closes the discovery sockets

    ProcessValues& values() { return values_; }
    const CommandEnabling& enabling() const { return enabling_; }
    DeviceListModel& deviceList() { return *model_; }
    WindowSearch& searches() { return *search_; }

signals:
    void programEnding(int exitStatus); // 0 after OK on the confirmation, 1 without a usable adapter

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildClientArea();
    void connectCommands();
    void apply(EnablingEvent event);
    void render();
    void layoutClient();
    void toggleToolbar(bool shown);
    const DeviceRow* pickedRow() const;
    void takeHandOffFrom(const DeviceRow& row);

    void search();
    void searchWithButtonLocking();
    void onSearchFinished();
    void onRowListed(int row);
    void onPicked(int row, Qt::MouseButton button);
    void onRightReleased(const QPoint& globalPos);
    void onAdminAboutToShow();
    void connectToDevice();
    void deletePicked();
    void deleteAll();
    void setIpCommand();
    void upgradeCommand();
    void diagnostic();
    void returnToNormalMode();
    void showAbout();
    void endProgram(AdapterOutcome outcome);

    Platform& platform_;
    RowDialogs& dialogs_;
    ProcessValues values_;
    CommandEnabling enabling_;

    MainMenus* menus_ = nullptr;
    DeviceListModel* model_ = nullptr;
    WindowSearch* search_ = nullptr;
    QWidget* client_ = nullptr;
    QFrame* line1_ = nullptr;
    QToolButton* command3_ = nullptr; // Delete
    QToolButton* command4_ = nullptr; // Search
    DeviceListView* list_ = nullptr;

    double listTopTwips_;
    bool firstShowDone_ = false;
    bool searchButtonLocked_ = false;
    bool ending_ = false;
};

} // namespace fw
