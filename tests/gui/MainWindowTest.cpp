// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowHarness.h"
#include "app/DeviceListView.h"
#include "common/StringTable.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace fw::test {
namespace {

// Every command whose enabling moves, in this order, as '1' (on) or '0' (off).
const char* const kWatched[]{"Command3", "delete",    "all",      "connect",   "setip", "Mload",
                             "Msetip",   "mDownload", "Command4", "MDiagnois", "MDiag", "Mreturn",
                             "mOpen",    "save",      "saveas",   "helptopic"};

std::string states(const MainWindowHarness& h) {
    std::string s;
    for (const char* name : kWatched) {
        s += h.enabled(name) ? '1' : '0';
    }
    return s;
}

const FakeDevice kOne{"one", "10.0.0.20", {0, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e}, true};
const FakeDevice kTwo{"two", "10.0.0.21", {0, 0x0a, 0x1b, 0x2c, 0x3d, 0x4f}, false};

struct Step {
    const char* what;
    std::function<void(MainWindowHarness&)> act;
    const char* expected; // Command3 delete all connect setip Mload Msetip mDownload Command4 diag diag
                          // return open save saveas topics
};

TEST(MainWindowEnabling, FollowsTheListThroughASession) {
    const std::vector<Step> steps{
        {"start-up", [](MainWindowHarness&) {}, "0000100011110000"},
        {"a reply adds a row", [](MainWindowHarness& h) { h.reply(kOne); }, "1111110011110000"},
        {"left press on space unpicks, changes nothing",
         [](MainWindowHarness& h) { h.press(Qt::LeftButton, h.spacePoint()); }, "1111110011110000"},
        {"Admin opened with no pick",
         [](MainWindowHarness& h) { h.openAndCloseMenu(h.window->findChild<QMenu*>("admin")); },
         "1111000011110000"},
        {"left press on a row", [](MainWindowHarness& h) { h.press(Qt::LeftButton, h.rowPoint(0)); },
         "1111110011110000"},
        {"Admin opened with a pick changes nothing",
         [](MainWindowHarness& h) { h.openAndCloseMenu(h.window->findChild<QMenu*>("admin")); },
         "1111110011110000"},
        {"right release on a row",
         [](MainWindowHarness& h) {
             h.rightClick(h.rowPoint(0));
             h.closePopups();
         },
         "1111111111100000"},
        {"right release on space",
         [](MainWindowHarness& h) {
             h.rightClick(h.spacePoint());
             h.closePopups();
         },
         "1111101011100000"},
        {"a second reply", [](MainWindowHarness& h) { h.reply(kTwo); }, "1111111011100000"},
        {"Delete of a row that is not the last",
         [](MainWindowHarness& h) {
             h.press(Qt::LeftButton, h.rowPoint(0));
             h.action("delete")->trigger();
         },
         "1111111011100000"},
        {"Delete of the last row",
         [](MainWindowHarness& h) {
             h.press(Qt::LeftButton, h.rowPoint(0));
             QTest::mouseClick(h.widget("Command3"), Qt::LeftButton);
         },
         "0000111011100000"},
        {"replies, then Delete All",
         [](MainWindowHarness& h) {
             h.reply(kOne);
             h.reply(kTwo);
             h.action("all")->trigger();
         },
         "0000111011100000"},
    };
    MainWindowHarness h;
    h.start();
    for (const Step& step : steps) {
        step.act(h);
        EXPECT_EQ(states(h), step.expected) << step.what;
    }
}

TEST(MainWindowEnabling, DeleteWithoutAPickRemovesNothing) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo);
    h.press(Qt::LeftButton, h.spacePoint());
    h.action("delete")->trigger();
    EXPECT_EQ(h.window->deviceList().rowCount(), 2);
    h.press(Qt::LeftButton, h.rowPoint(1));
    h.action("Mdelete")->trigger();
    ASSERT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.window->deviceList().rowAt(0).name, "one");
}

// Qt's single-selection view picks the neighbour of a removed current row; a second Delete (or a
// double-click on the button) would then remove a row the operator never picked.
TEST(MainWindowEnabling, DeleteLeavesNothingPicked) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo);
    h.press(Qt::LeftButton, h.rowPoint(0));
    auto* button = qobject_cast<QToolButton*>(h.widget("Command3"));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.window->deviceList().rowAt(0).name, "two");
    h.openAndCloseMenu(h.window->findChild<QMenu*>("admin"));
    EXPECT_FALSE(h.enabled("setip"));
    EXPECT_FALSE(h.enabled("Mload"));
}

// The Search button locks itself and the Delete button for its search; only the Search button comes
// back when the countdown ends. Edit -> Search does no locking.
TEST(MainWindowEnabling, SearchButtonLocking) {
    MainWindowHarness h;
    h.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window->searchCycle().countdownRunning(); }, 5000));
    h.reply(kOne);
    ASSERT_TRUE(h.enabled("Command3"));

    const std::int16_t before = h.window->searchCycle().searchSequence();
    QTest::mouseClick(h.widget("Command4"), Qt::LeftButton);
    EXPECT_EQ(h.window->searchCycle().searchSequence(), before + 1);
    EXPECT_EQ(h.window->deviceList().rowCount(), 0);
    EXPECT_FALSE(h.enabled("Command4"));
    EXPECT_FALSE(h.enabled("Command3"));
    EXPECT_FALSE(h.enabled("connect"));
    EXPECT_TRUE(h.enabled("delete")) << "only the button is locked";

    ASSERT_TRUE(QTest::qWaitFor([&] { return h.enabled("Command4"); }, 5000));
    EXPECT_FALSE(h.enabled("Command3")) << "stays off until a reply";
    h.reply(kTwo);
    EXPECT_TRUE(h.enabled("Command3"));

    h.action("search")->trigger();
    EXPECT_TRUE(h.enabled("Command4"));
}

const FakeDevice kAp{"ap-one", "10.0.0.20", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e}, true};
const FakeDevice kBridge{"bridge", "10.0.1.30", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x50}, false};

// ---- closing ---------------------------------------------------------------------------------

const Message kExitConfirm{"Exit Fernwick?", "Exit", MessageIcon::Information, MessageButtons::OkCancel,
                           true};

TEST(MainWindowClose, EveryWayAsksAndCancelChangesNothing) {
    const std::vector<std::pair<const char*, std::function<void(MainWindowHarness&)>>> ways{
        {"close box",
         [](MainWindowHarness& h) {
             h.window->close();
         }},
        {"File -> Exit",
         [](MainWindowHarness& h) {
             h.action("mexit")->trigger();
         }},
    };
    for (const auto& [way, close] : ways) {
        MainWindowHarness h;
        h.start();
        h.reply(kAp);
        h.fakes.messages.answers.push_back(MessageAnswer::Cancel);
        close(h);
        ASSERT_EQ(h.fakes.messages.shown.size(), 1u) << way;
        EXPECT_EQ(h.fakes.messages.shown[0], kExitConfirm) << way;
        EXPECT_TRUE(h.window->isVisible()) << way;
        EXPECT_TRUE(h.programEndings.empty()) << way;
        EXPECT_EQ(h.window->deviceList().rowCount(), 1) << way;
        EXPECT_EQ(h.fakes.network.openOnPort(4001).size(), 2u) << way << ": sockets stay open";
        EXPECT_TRUE(h.window->searchCycle().countdownRunning()) << way << ": the search goes on";

        h.fakes.messages.answers.push_back(MessageAnswer::Ok);
        close(h);
        EXPECT_EQ(h.fakes.messages.shown.size(), 2u) << way;
        EXPECT_EQ(h.programEndings, std::vector<int>{0}) << way;
        EXPECT_FALSE(h.window->isVisible()) << way;
    }
}

TEST(MainWindowClose, AdapterFailureEndsWithoutAsking) {
    MainWindowHarness h;
    h.fakes.adapters.selection = AdapterSelection{AdapterOutcome::NoAdapter, {}};
    h.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.programEndings.empty(); }, 3000));
    EXPECT_EQ(h.programEndings, std::vector<int>{1}) << "a failure ends with a failure status";
    ASSERT_EQ(h.fakes.messages.shown.size(), 1u) << "only the search's own message, no confirmation";
    EXPECT_EQ(h.fakes.messages.shown[0].text, loadResString(Str::NoAdapter));
    EXPECT_FALSE(h.window->isVisible());
}

// ---- layout ----------------------------------------------------------------------------------

// ---- row commands ----------------------------------------------------------------------------

TEST(MainWindowRows, ConnectFlushesThenOpensThePickedDevice) {
    MainWindowHarness h;
    h.start();
    h.reply(kAp);
    h.reply(kBridge, 1);

    h.press(Qt::LeftButton, h.spacePoint());
    h.action("connect")->trigger();
    QTest::mouseDClick(h.listViewport(), Qt::LeftButton, {}, h.spacePoint());
    EXPECT_TRUE(h.fakes.shell.calls.empty()) << "nothing to open without a pick";

    h.press(Qt::LeftButton, h.rowPoint(1));
    h.action("connect")->trigger();
    QTest::mouseDClick(h.listViewport(), Qt::LeftButton, {}, h.rowPoint(0));
    EXPECT_EQ(h.fakes.shell.calls, (std::vector<std::string>{"flush 10.0.1.30", "open http://10.0.1.30",
                                                             "flush 10.0.0.20", "open http://10.0.0.20"}));
}

// The row commands take the picked row's own values, never those of the device listed last; the
// list's cells still read back as those values (MAC by position, kind exactly "A").
TEST(MainWindowRows, SetIpAndUpgradeTakeThePickedRowsValues) {
    const DeviceRow picked{
        "dev", *Ipv4::parse("10.0.1.40"), "ess", 6, false, {0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa},
        true,  *Ipv4::parse("10.0.1.1")};
    for (const char* command : {"Msetip", "Mload"}) {
        MainWindowHarness h;
        h.start();
        h.window->deviceList().appendRow(picked);
        h.reply(kBridge, 1); // listed last: the hand-off values now point at it
        h.rightClick(h.rowPoint(0));
        h.closePopups();
        h.action(command)->trigger();
        ASSERT_EQ(h.dialogs.calls.size(), 1u) << command;
        const auto& call = h.dialogs.calls[0];
        EXPECT_EQ(call.dialog, std::string(command) == "Msetip" ? "Setips" : "Download");
        if (std::string(command) == "Msetip") {
            EXPECT_EQ(call.values.selectedDeviceMac, picked.mac);
        } else {
            EXPECT_TRUE(call.values.selectedDeviceIsAp);
            EXPECT_EQ(call.values.selectedDeviceIp, picked.ip);
        }
        EXPECT_EQ(call.values.localAdapterIp, picked.adapterIp) << command;
        EXPECT_EQ(call.openDiscovery, 0u) << "port 4001 must be free for the dialog";

        const auto& model = h.window->deviceList();
        for (int row = 0; row < model.rowCount(); ++row) {
            const auto cell = [&](int column) {
                return model.index(row, column).data().toString().toStdString();
            };
            EXPECT_EQ(parseMac(cell(5)), model.rowAt(row).mac);
            EXPECT_EQ(cell(6) == "A", model.rowAt(row).isAp);
        }
    }
}

TEST(MainWindowRows, RowDialogsNeedAPick) {
    MainWindowHarness h;
    h.start();
    h.reply(kAp);
    h.press(Qt::LeftButton, h.spacePoint());
    h.action("setip")->trigger();
    h.action("Mload")->trigger();
    EXPECT_TRUE(h.dialogs.calls.empty());
    EXPECT_EQ(h.fakes.network.openOnPort(4001).size(), 2u);
}

TEST(MainWindowRows, MaintenanceCommandsSendNothing) {
    MainWindowHarness h;
    h.start();
    h.invokeHidden("Mreturn");
    EXPECT_TRUE(h.fakes.shell.calls.empty()) << "no address yet";

    h.reply(kAp);
    h.rightClick(h.rowPoint(0));
    h.closePopups();
    std::size_t sentBefore = 0;
    for (auto* e : h.fakes.network.alive()) {
        sentBefore += e->sent.size();
    }
    h.invokeHidden("MDiag");
    h.invokeHidden("MDiagnois");
    h.invokeHidden("Mreturn"); // off since the right release on the row: does nothing
    h.invokeHidden("MReturnToNormal");
    std::size_t sentAfter = 0;
    for (auto* e : h.fakes.network.alive()) {
        sentAfter += e->sent.size();
    }
    EXPECT_EQ(sentAfter, sentBefore);
    EXPECT_EQ(h.fakes.shell.calls, (std::vector<std::string>{"flush 10.0.0.20"}));
    EXPECT_TRUE(h.fakes.messages.shown.empty());
}

// ---- About -----------------------------------------------------------------------------------

TEST(MainWindowMenus, RightReleaseShowsTheRightPopupAtThePointer) {
    MainWindowHarness h;
    h.start();
    h.reply({"ap-one", "10.0.0.20", {0, 1, 2, 3, 4, 5}, true});

    h.rightClick(h.rowPoint(0));
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "Mpop");
    h.closePopups();

    h.rightClick(h.spacePoint());
    popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "Mall");
    h.closePopups();

    // A left release shows nothing.
    h.press(Qt::LeftButton, h.rowPoint(0));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

// Either mouse button chooses a popup entry.
TEST(MainWindowMenus, PopupChoiceWithTheRightButton) {
    MainWindowHarness h;
    h.start();
    h.reply({"one", "10.0.0.20", {0, 1, 2, 3, 4, 5}});
    h.reply({"two", "10.0.0.21", {0, 1, 2, 3, 4, 6}});
    h.rightClick(h.rowPoint(0));
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    QAction* del = h.action("Mdelete");
    QTest::mouseClick(popup, Qt::RightButton, {}, popup->actionGeometry(del).center());
    ASSERT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.window->deviceList().rowAt(0).name, "two");
}

} // namespace
} // namespace fw::test
