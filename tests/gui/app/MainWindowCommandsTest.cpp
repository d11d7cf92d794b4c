#include "MainWindowHarness.h"

#include "app/AboutDialog.h"
#include "app/DeviceListView.h"
#include "common/StringTable.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace fw::test {
namespace {

const FakeDevice kAp{"ap-one", "10.0.0.20", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e}, true};
const FakeDevice kBridge{"bridge", "10.0.1.30", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x50}, false};

DeviceListView* listOf(const MainWindowHarness& h) {
    return h.window->findChild<DeviceListView*>("ListView1");
}

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

TEST(MainWindowLayout, FirstShownSizeAndColumns) {
    MainWindowHarness h;
    h.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
    ASSERT_EQ(h.window->logicalDpiX(), 96) << "the numbers below are for 15 twips per pixel";
    QWidget* client = h.window->centralWidget();
    EXPECT_EQ(client->size(), QSize(632, 433));
    DeviceListView* list = listOf(h);
    EXPECT_EQ(list->geometry(), QRect(0, 40, 632, 433 - 40));
    EXPECT_TRUE(list->isColumnHidden(DeviceListModel::kKindColumn));
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(list->header()->isVisible());
    EXPECT_EQ(list->header()->count(), 7);
}

TEST(MainWindowLayout, ColumnWidthsFollowTheListWidth) {
    MainWindowHarness h;
    h.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
    struct Case {
        int clientWidth;
        std::vector<int> widths;
    };
    // 400 px = 6000 twips: w = 980 -> 980 980 980 880 880 1180 twips; 640 px = 9600 twips: w = 1580.
    const Case cases[]{{400, {65, 65, 65, 59, 59, 79}}, {640, {105, 105, 105, 99, 99, 119}}};
    QWidget* client = h.window->centralWidget();
    for (const Case& c : cases) {
        h.window->resize(h.window->width() - client->width() + c.clientWidth, 300);
        QTest::qWait(20);
        ASSERT_EQ(client->width(), c.clientWidth);
        auto* header = listOf(h)->header();
        for (int col = 0; col < 6; ++col) {
            EXPECT_EQ(header->sectionSize(col), c.widths[static_cast<std::size_t>(col)])
                << "width " << c.clientWidth << " column " << col + 1;
        }
        EXPECT_EQ(listOf(h)->width(), c.clientWidth);
        EXPECT_EQ(listOf(h)->geometry().bottom(), client->height() - 1)
            << "the list ends at the client's edge";
    }
    // A size that gives w <= 0 keeps the last layout.
    h.window->resize(h.window->width() - client->width() + 8, 300);
    QTest::qWait(20);
    EXPECT_EQ(listOf(h)->header()->sectionSize(0), 105);
}

TEST(MainWindowLayout, ToolbarToggleMovesTheList) {
    MainWindowHarness h;
    h.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
    QWidget* client = h.window->centralWidget();
    DeviceListView* list = listOf(h);
    QAction* toolbar = h.action("toolbar");
    EXPECT_EQ(list->y(), 40);

    toolbar->trigger();
    EXPECT_FALSE(toolbar->isChecked());
    EXPECT_FALSE(h.widget("Command3")->isVisible());
    EXPECT_FALSE(h.widget("Command4")->isVisible());
    EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height()));

    toolbar->trigger();
    EXPECT_TRUE(toolbar->isChecked());
    EXPECT_TRUE(h.widget("Command3")->isVisible());
    EXPECT_TRUE(h.widget("Command4")->isVisible());
    EXPECT_EQ(list->y(), 38) << "1.5 button heights: 562.5 twips";
    EXPECT_EQ(list->geometry().bottom(), client->height() - 1);
    EXPECT_GT(list->y(), h.widget("Command3")->geometry().bottom());
}

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

TEST(MainWindowRows, PickingARowPointsAtItsAdapter) {
    MainWindowHarness h;
    h.start();
    h.reply(kAp, 0);
    h.reply(kBridge, 1);
    h.press(Qt::LeftButton, h.rowPoint(0));
    EXPECT_EQ(h.window->values().selectedDeviceIp, "10.0.0.20");
    EXPECT_EQ(h.window->values().localAdapterIp, "10.0.0.1");
    h.rightClick(h.rowPoint(1));
    h.closePopups();
    EXPECT_EQ(h.window->values().selectedDeviceIp, "10.0.1.30");
    EXPECT_EQ(h.window->values().localAdapterIp, "10.0.1.1");
    // A press with another button picks without touching the hand-off values.
    h.press(Qt::MiddleButton, h.rowPoint(0));
    EXPECT_EQ(listOf(h)->pickedRow(), 0);
    EXPECT_EQ(h.window->values().selectedDeviceIp, "10.0.1.30");
}

TEST(MainWindowRows, SetIpReadsTheMacByPositionAndClosesDiscovery) {
    struct Case {
        const char* mac;
        MacAddress expected;
    };
    const Case cases[]{{"00-0A-1B-2C-3D-4E", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e}},
                       {"00:0A:1B:2C:3D:4E", {0x00, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e}},
                       {"ff-ee-dd-cc-bb-aa", {0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa}}};
    for (const Case& c : cases) {
        MainWindowHarness h;
        h.start();
        h.window->deviceList().appendRow(
            DeviceRow{"dev", "10.0.1.40", "ess", "6", "Disabled", c.mac, "G", "10.0.1.1"});
        h.rightClick(h.rowPoint(0));
        h.closePopups();
        h.action("Msetip")->trigger();
        ASSERT_EQ(h.dialogs.calls.size(), 1u) << c.mac;
        const auto& call = h.dialogs.calls[0];
        EXPECT_EQ(call.dialog, "Setips");
        EXPECT_EQ(call.values.selectedDeviceMac, c.expected) << c.mac;
        EXPECT_EQ(call.values.localAdapterIp, "10.0.1.1") << c.mac;
        EXPECT_EQ(call.openDiscovery, 0u) << "port 4001 must be free for the dialog";
    }
}

TEST(MainWindowRows, UpgradeTakesAddressAndKind) {
    struct Case {
        const char* kind;
        bool isAp;
    };
    const Case cases[]{{"A", true}, {"G", false}, {"a", false}, {"", false}, {"AP", false}};
    for (const Case& c : cases) {
        MainWindowHarness h;
        h.start();
        h.reply(kBridge, 1); // the reply decoding leaves its own kind behind
        h.window->deviceList().appendRow(
            DeviceRow{"dev", "10.0.0.50", "ess", "1", "Enabled", "00-0A-1B-2C-3D-4E", c.kind, "10.0.0.1"});
        h.window->values().selectedDeviceIsAp = !c.isAp;
        h.press(Qt::LeftButton, h.rowPoint(1));
        h.action("Mload")->trigger();
        ASSERT_EQ(h.dialogs.calls.size(), 1u) << c.kind;
        const auto& call = h.dialogs.calls[0];
        EXPECT_EQ(call.dialog, "Download");
        EXPECT_EQ(call.values.selectedDeviceIsAp, c.isAp) << "kind '" << c.kind << "'";
        EXPECT_EQ(call.values.selectedDeviceIp, "10.0.0.50");
        EXPECT_EQ(call.values.localAdapterIp, "10.0.0.1");
        EXPECT_EQ(call.openDiscovery, 0u);
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

TEST(MainWindowAbout, TextsAndKeys) {
    EXPECT_EQ(AboutDialog::versionText(2, 3, 2), "Fernwick  2.3.2");
    EXPECT_EQ(AboutDialog::versionText(10, 0, 7), "Fernwick  10.0.7");

    MainWindowHarness h;
    struct Seen {
        QString title, version, notice, ok;
        bool okDefault = false;
        bool modal = false;
    };
    std::vector<Seen> seen;
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QTimer::singleShot(0, [&seen, key] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            Seen s;
            s.title = dialog->windowTitle();
            s.version = dialog->findChild<QLabel*>("lblVersion")->text();
            s.notice = dialog->findChild<QLabel*>("Label1")->text();
            auto* ok = dialog->findChild<QPushButton*>("cmdOK");
            s.ok = ok->text();
            s.okDefault = ok->isDefault();
            s.modal = dialog->isModal() && dialog->objectName() == "frmAbout";
            seen.push_back(s);
            QTest::keyClick(dialog, static_cast<Qt::Key>(key));
        });
        h.action("Mabout")->trigger(); // returns when the dialog has closed
    }
    ASSERT_EQ(seen.size(), 2u);
    for (const Seen& s : seen) {
        EXPECT_EQ(s.title, "Fernwick");
        EXPECT_EQ(s.version, "Fernwick  2.3.2");
        EXPECT_EQ(s.notice.toStdString(), loadResString(Str::RightsNotice));
        EXPECT_EQ(s.ok, "OK");
        EXPECT_TRUE(s.okDefault);
        EXPECT_TRUE(s.modal);
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace fw::test
