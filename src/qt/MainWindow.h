// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MainWindowLogic.h"
#include "guilink/EngineLink.h"
#include "guilink/VendorTableLoad.h"
#include "qt/GuiPost.h"
#include "qt/Platform.h"

#include <QMainWindow>

class QFrame;
class QToolButton;

namespace fw {

class DeviceListModel;
class DeviceListView;
class MainMenus;
class QtListExport;
class RowDialogs;
class WindowSearch;

// The main window (start) in Qt: menus, the two-button toolbar and the device list over the
// window's logic. OK on the exit confirmation, and the fatal adapter failure of a search, emit
// programEnding(), on which the program must end at once with that exit status.
class MainWindow final : public QMainWindow, private MainWindowLogic::View {
    Q_OBJECT
public:
    MainWindow(Platform& platform, EngineLink engine, RowDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override; // closes the discovery sockets

    const MainWindowLogic& logic() const { return *logic_; }
    const CommandEnabling& enabling() const { return logic_->enabling(); }
    DeviceListModel& deviceList() { return *model_; }
    SearchCycle& searches() { return logic_->search(); }

signals:
    void programEnding(int exitStatus); // 0 after OK on the confirmation, 1 without a usable adapter

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildClientArea();
    void connectCommands();
    void layoutClient();

    void render(const CommandEnabling& enabling) override;
    int pickedRow() const override;
    void unpick() override;
    void pick(int row) override;
    void showSortIndicator(int column, bool ascending) override;
    void showVendorColumn(bool shown) override;
    void vendorsChanged() override;
    void showPopup(MainWindowLogic::Popup popup, MainWindowLogic::PopupPlace place) override;
    MessageAnswer ask(const Message& message) override;
    void startFirstSearchTimer(std::chrono::milliseconds delay) override;
    int openSetIp(const SetIpDialog::Opening& opening) override;
    void openUpgrade(const UpgradeDialog::Opening& opening) override;
    void flushNeighbour(Ipv4 ip) override;
    void openUrl(const std::string& url) override;
    void copyToClipboard(const std::string& text) override;
    void showToolbar(bool shown) override;
    void showAbout() override;
    void endProgram(int exitStatus) override { emit programEnding(exitStatus); }
    void closeWindow() override { close(); }

    Platform& platform_;
    RowDialogs& dialogs_;

    MainMenus* menus_ = nullptr;
    DeviceListModel* model_ = nullptr;
    WindowSearch* search_ = nullptr;
    std::unique_ptr<QtListExport> listExport_; // outlives the logic that runs it
    std::unique_ptr<MainWindowLogic> logic_;
    QtUiQueue queue_{this};
    std::unique_ptr<VendorTableLoad> vendorLoad_; // goes before the logic it hands the table to
    QWidget* client_ = nullptr;
    QFrame* line1_ = nullptr;
    QToolButton* command3_ = nullptr; // Delete
    QToolButton* command4_ = nullptr; // Search
    DeviceListView* list_ = nullptr;
    QPoint popupAt_;

    double listTopTwips_;
};

} // namespace fw
