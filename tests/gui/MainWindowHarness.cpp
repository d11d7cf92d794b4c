// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowHarness.h"

#include "app/DeviceListView.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "support/ReplyBytes.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace fw::test {

MainWindowHarness::MainWindowHarness() : platform(fakes.platform()), dialogs(fakes.network) {
    fakes.adapters.selection.table.push_back(AdapterEntry{
        "10.0.1.1", "255.255.255.0", "0.0.0.0", {0x02, 0x00, 0x00, 0x00, 0x00, 0x02}, "eth1", 3});
    window = std::make_unique<MainWindow>(platform, dialogs);
    QObject::connect(window.get(), &MainWindow::programEnding,
                     [this](int status) { programEndings.push_back(status); });
}

MainWindowHarness::~MainWindowHarness() {
    closePopups();
    window.reset();
}

void MainWindowHarness::start() {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return fakes.network.openOnPort(4001).size() == 2; }, 3000));
}

void MainWindowHarness::reply(const FakeDevice& device, std::size_t adapter) {
    const auto open = fakes.network.openOnPort(4001);
    ASSERT_LT(adapter, open.size());
    ReplyFields fields{.sequence = window->searchCycle().searchSequence(),
                       .essId = device.essId,
                       .wep = 1,
                       .name = device.name,
                       .kind = device.isAp ? "AP" : ""};
    std::copy(device.mac.begin(), device.mac.end(), std::begin(fields.mac));
    open[adapter]->deliver(replyBytes(fields), *Ipv4::parse(device.ip), 4000);
}

QWidget* MainWindowHarness::listViewport() const {
    return window->findChild<DeviceListView*>("ListView1")->viewport();
}

QPoint MainWindowHarness::rowPoint(int row) const {
    auto* list = window->findChild<DeviceListView*>("ListView1");
    return list->visualRect(window->deviceList().index(row, 1)).center();
}

QPoint MainWindowHarness::spacePoint() const {
    const int rows = window->deviceList().rowCount();
    auto* list = window->findChild<DeviceListView*>("ListView1");
    const int bottom = rows == 0 ? 0 : list->visualRect(window->deviceList().index(rows - 1, 0)).bottom();
    return {40, std::min(bottom + 30, listViewport()->height() - 2)};
}

void MainWindowHarness::press(Qt::MouseButton button, QPoint at) {
    QTest::mousePress(listViewport(), button, {}, at);
    QTest::mouseRelease(listViewport(), button, {}, at);
}

void MainWindowHarness::rightClick(QPoint at) {
    press(Qt::RightButton, at);
}

void MainWindowHarness::closePopups() {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
}

void MainWindowHarness::openAndCloseMenu(QMenu* menu) {
    menu->popup(window->mapToGlobal(QPoint(10, 10)));
    menu->close();
}

QAction* MainWindowHarness::action(const char* name) const {
    for (QAction* a : window->findChildren<QAction*>(name)) {
        if (a->menu() == nullptr) {
            return a;
        }
    }
    return nullptr;
}

void MainWindowHarness::invokeHidden(const char* name) {
    QAction* a = action(name);
    ASSERT_NE(a, nullptr) << name;
    ASSERT_FALSE(a->isVisible()) << name;
    a->setVisible(true);
    a->trigger();
    a->setVisible(false);
}

QWidget* MainWindowHarness::widget(const char* name) const {
    return window->findChild<QWidget*>(name);
}

bool MainWindowHarness::enabled(const char* name) const {
    const std::map<std::string, Command> hidden{{"MDiagnois", Command::AdminDiagnostic},
                                                {"MDiag", Command::PopupDiagnostic},
                                                {"Mreturn", Command::PopupReturnToNormal},
                                                {"mOpen", Command::FileOpen},
                                                {"save", Command::FileSave},
                                                {"saveas", Command::FileSaveAs},
                                                {"helptopic", Command::HelpTopics}};
    if (const auto it = hidden.find(name); it != hidden.end()) {
        EXPECT_FALSE(action(name)->isVisible()) << name;
        return window->enabling().enabled(it->second);
    }
    if (QAction* a = action(name)) {
        return a->isEnabled();
    }
    QWidget* w = widget(name);
    EXPECT_NE(w, nullptr) << name;
    return w != nullptr && w->isEnabled();
}

} // namespace fw::test
