// SPDX-License-Identifier: GPL-3.0-or-later
// A main window on fake adapters and fake endpoints: nothing it does reaches a network.
#include "qt/MainWindow.h"

#include "common/StringTable.h"
#include "qt/DeviceListModel.h"
#include "qt/DeviceListView.h"
#include "qt/ModalRowDialogs.h"
#include "qt/PathBox.h"
#include "qt/RowDialogs.h"
#include "qt/WindowSearch.h"
#include "qt/ZavikIPAddress.h"
#include "support/Fakes.h"
#include "support/ReplyBytes.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fw::test {
namespace {

// Records each row dialog opened, the values it found and the discovery sockets still open then.
struct RecordingDialogs final : RowDialogs {
    struct Call {
        std::string dialog;
        UpgradeDialog::Opening values; // Set IP's as far as they share it
        std::size_t openDiscovery;
    };
    explicit RecordingDialogs(FakePlatform& f) : fakes(f) {}
    int openSetIp(QWidget*, const SetIpDialog::Opening& o) override {
        calls.push_back({"Setips", {o.device, {}, o.localAdapterIp}, fakes.openCount()});
        return o.adapterIndex;
    }
    void openUpgrade(QWidget*, const UpgradeDialog::Opening& o) override {
        calls.push_back({"Download", o, fakes.openCount()});
    }
    FakePlatform& fakes;
    std::vector<Call> calls;
};

using FakeDevice = std::pair<ReplyFields, const char*>; // a reply and its sender

// Two fake adapters, 10.0.0.1 (eth0) and 10.0.1.1 (eth1). The row dialogs are recorded, or the
// program's own ones on the fake endpoints.
struct MainWindowHarness {
    FakePlatform fakes;
    Platform platform = fakes.platform();
    RecordingDialogs dialogs{fakes};
    ModalRowDialogs realDialogs{platform, fakes.link()};
    std::unique_ptr<MainWindow> window;
    std::vector<int> programEndings; // exit statuses asked for

    explicit MainWindowHarness(bool real = false) {
        fakes.host.addAdapter(adapterOn24("10.0.1.1", "0.0.0.0", {2, 0, 0, 0, 0, 2}, "eth1", 3));
        window = std::make_unique<MainWindow>(platform, fakes.link(),
                                              real ? static_cast<RowDialogs&>(realDialogs) : dialogs);
        QObject::connect(window.get(), &MainWindow::programEnding,
                         [this](int status) { programEndings.push_back(status); });
    }
    // The window goes first; then the engine runs what its dialogs posted (a Set IP dialog's opening
    // writes into the run's exchange) before realDialogs, which owns that exchange, goes.
    ~MainWindowHarness() {
        closePopups();
        window.reset();
        fakes.quiet();
    }
    // Shows the window and waits for the first search to have sent its requests.
    void start() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return fakes.openCount() == 2; }, 3000));
    }
    // A reply to the current search, arriving on adapter `adapter`'s socket.
    void reply(const FakeDevice& device, std::size_t adapter = 0) {
        queueReply(device, adapter);
        QCoreApplication::processEvents();
    }
    // The same, taken by the engine but not yet by the window: it comes in its next event loop.
    void queueReply(const FakeDevice& device, std::size_t adapter = 0) {
        ReplyFields fields = device.first;
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return window->searches().searchSequence().has_value(); }, 3000));
        fields.sequence = *window->searches().searchSequence();
        const Ipv4 local = *fakes.host.listing.adapters.at(adapter).ip;
        ASSERT_TRUE(fakes.onEngine([&] {
            return fakes.endpoints.deliver({local, 4001}, {*Ipv4::parse(device.second), 4000},
                                           replyBytes(fields));
        }));
        fakes.quiet();
    }
    // Chooses a row command whose dialog then runs `inside` (with the dialog) and closes.
    void runRowDialog(const char* command, const std::function<void(QWidget&)>& inside) {
        QTimer::singleShot(0, window.get(), [this, inside] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || dialog == window.get()) {
                ADD_FAILURE() << "no dialog open";
                return;
            }
            inside(*dialog);
            dialog->close();
        });
        action(command)->trigger();
    }
    DeviceListView* list() const { return window->findChild<DeviceListView*>("ListView1"); }
    QWidget* listViewport() const { return list()->viewport(); }
    QPoint rowPoint(int row) const { return list()->visualRect(window->deviceList().index(row, 1)).center(); }
    QPoint spacePoint() const { // below the last row
        const int rows = window->deviceList().rowCount();
        const int bottom =
            rows == 0 ? 0 : list()->visualRect(window->deviceList().index(rows - 1, 0)).bottom();
        return {40, std::min(bottom + 30, listViewport()->height() - 2)};
    }
    void press(Qt::MouseButton button, QPoint at) { QTest::mouseClick(listViewport(), button, {}, at); }
    void rightClick(QPoint at) { press(Qt::RightButton, at); } // the popup rule runs on the release
    static void closePopups() {
        while (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    }
    // Opens the Admin menu as the menu bar would (its aboutToShow runs) and closes it again.
    void openAndCloseAdmin() {
        auto* menu = window->findChild<QMenu*>("admin");
        menu->popup(window->mapToGlobal(QPoint(10, 10)));
        menu->close();
    }
    QAction* action(const char* name) const { // not a menu's own action
        const auto all = window->findChildren<QAction*>(name);
        const auto it = std::ranges::find_if(all, [](QAction* a) { return a->menu() == nullptr; });
        return it == all.end() ? nullptr : *it;
    }
    QWidget* widget(const char* name) const { return window->findChild<QWidget*>(name); }
    // A QAction or a widget, by object name. Qt reports every hidden action as disabled, so for the
    // hidden entries this is the state the window keeps for them.
    bool enabled(const char* name) const {
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
    // Chooses a hidden entry, as no operator can: shown for the moment of the trigger.
    void invokeHidden(const char* name) {
        QAction* a = action(name);
        ASSERT_NE(a, nullptr) << name;
        ASSERT_FALSE(a->isVisible()) << name;
        a->setVisible(true);
        a->trigger();
        a->setVisible(false);
    }
    std::size_t sent() { return fakes.sent().size(); }
};

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

const FakeDevice kOne{{.name = "one"}, "10.0.0.20"};
const FakeDevice kTwo{{.mac = {0, 0x0a, 0x1b, 0x2c, 0x3d, 0x4f}, .name = "two", .kind = ""}, "10.0.0.21"};

TEST(MainWindowEnabling, FollowsTheListThroughASession) {
    using H = MainWindowHarness;
    const std::vector<std::tuple<const char*, std::function<void(H&)>, const char*>> steps{
        {"start-up", [](H&) {}, "0000100011110000"},
        {"a reply adds a row", [](H& h) { h.reply(kOne); }, "1111110011110000"},
        {"left press on space unpicks, changes nothing",
         [](H& h) { h.press(Qt::LeftButton, h.spacePoint()); }, "1111110011110000"},
        {"Admin opened with no pick", [](H& h) { h.openAndCloseAdmin(); }, "1111000011110000"},
        {"left press on a row", [](H& h) { h.press(Qt::LeftButton, h.rowPoint(0)); }, "1111110011110000"},
        {"Admin opened with a pick changes nothing", [](H& h) { h.openAndCloseAdmin(); }, "1111110011110000"},
        {"right release on a row", [](H& h) { h.rightClick(h.rowPoint(0)), h.closePopups(); },
         "1111111111100000"},
        {"right release on space", [](H& h) { h.rightClick(h.spacePoint()), h.closePopups(); },
         "1111101011100000"},
        {"a second reply", [](H& h) { h.reply(kTwo); }, "1111111011100000"},
        // Qt's view picks the neighbour of a removed row; a second Delete must not remove it.
        {"Delete twice of a row that is not the last",
         [](H& h) {
             h.press(Qt::LeftButton, h.rowPoint(0));
             h.action("delete")->trigger();
             QTest::mouseClick(h.widget("Command3"), Qt::LeftButton);
         },
         "1111111011100000"},
        {"Admin opened after a Delete: nothing picked", [](H& h) { h.openAndCloseAdmin(); },
         "1111001011100000"},
        {"Delete of the last row",
         [](H& h) {
             h.press(Qt::LeftButton, h.rowPoint(0));
             QTest::mouseClick(h.widget("Command3"), Qt::LeftButton);
         },
         "0000111011100000"},
        {"replies, then Delete All", [](H& h) { h.reply(kOne), h.reply(kTwo), h.action("all")->trigger(); },
         "0000111011100000"},
    };
    H h;
    h.start();
    for (const auto& [what, act, expected] : steps) {
        act(h);
        EXPECT_EQ(states(h), expected) << what;
    }
}

// The Search button locks itself and the Delete button for its search; only the Search button comes
// back when the countdown ends. Edit -> Search does no locking.
TEST(MainWindowEnabling, SearchButtonLocking) {
    MainWindowHarness h;
    h.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window->searches().countdownRunning(); }, 5000));
    h.reply(kOne);
    ASSERT_TRUE(h.enabled("Command3"));

    const std::optional<std::int16_t> before = h.window->searches().searchSequence();
    QTest::mouseClick(h.widget("Command4"), Qt::LeftButton);
    EXPECT_EQ(h.window->deviceList().rowCount(), 0);
    EXPECT_FALSE(h.enabled("Command4") || h.enabled("Command3") || h.enabled("connect"));
    EXPECT_TRUE(h.enabled("delete")) << "only the button is locked";
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.window->searches().searchSequence() == *before + 1; }, 3000));

    ASSERT_TRUE(QTest::qWaitFor([&] { return h.enabled("Command4"); }, 5000));
    EXPECT_FALSE(h.enabled("Command3")) << "stays off until a reply";
    h.reply(kTwo);
    EXPECT_TRUE(h.enabled("Command3"));
    h.action("search")->trigger();
    EXPECT_TRUE(h.enabled("Command4"));
}

TEST(MainWindowClose, EveryWayAsksAndCancelChangesNothing) {
    const Message confirm{"Exit Fernwick?", "Exit", MessageIcon::Information, MessageButtons::OkCancel, true};
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.fakes.messages.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    h.action("mexit")->trigger(); // File > Exit, cancelled; then the close box
    ASSERT_EQ(h.fakes.messages.shown, std::vector<Message>{confirm});
    EXPECT_TRUE(h.window->isVisible());
    EXPECT_TRUE(h.programEndings.empty());
    EXPECT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.fakes.openCount(), 2u) << "sockets stay open";
    EXPECT_TRUE(h.window->searches().countdownRunning()) << "the search goes on";
    h.window->close();
    EXPECT_EQ(h.fakes.messages.shown.size(), 2u);
    EXPECT_EQ(h.programEndings, std::vector<int>{0});
    EXPECT_FALSE(h.window->isVisible());
}

TEST(MainWindowClose, AdapterFailureEndsWithoutAsking) {
    MainWindowHarness h;
    h.fakes.host.useAdapters({});
    h.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.programEndings.empty(); }, 3000));
    EXPECT_EQ(h.programEndings, std::vector<int>{1}) << "a failure ends with a failure status";
    ASSERT_EQ(h.fakes.messages.shown.size(), 1u) << "only the search's own message, no confirmation";
    EXPECT_EQ(h.fakes.messages.shown[0].text, loadResString(Str::NoAdapter));
    EXPECT_FALSE(h.window->isVisible());
}

// Without a pick, no row command does anything; Connect and a double-click flush, then open, the
// picked device.
TEST(MainWindowRows, RowCommandsNeedAPickAndConnectOpensThePickedDevice) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo, 1);
    h.press(Qt::LeftButton, h.spacePoint());
    for (const char* command : {"delete", "connect", "setip", "Mload"}) {
        h.action(command)->trigger();
    }
    QTest::mouseDClick(h.listViewport(), Qt::LeftButton, {}, h.spacePoint());
    EXPECT_EQ(h.window->deviceList().rowCount(), 2);
    EXPECT_TRUE(h.fakes.calls.list().empty());
    EXPECT_TRUE(h.dialogs.calls.empty());
    EXPECT_EQ(h.fakes.openCount(), 2u);

    h.press(Qt::LeftButton, h.rowPoint(1));
    h.action("connect")->trigger();
    QTest::mouseDClick(h.listViewport(), Qt::LeftButton, {}, h.rowPoint(0));
    EXPECT_EQ(h.fakes.calls.list(), (std::vector<std::string>{"flush 10.0.0.21", "open http://10.0.0.21",
                                                              "flush 10.0.0.20", "open http://10.0.0.20"}));
}

// The row commands take the picked row's own values, never those of the device listed last; the
// list's cells still read back as those values (MAC by position, kind exactly "A").
TEST(MainWindowRows, SetIpAndUpgradeTakeThePickedRowsValues) {
    const DeviceRow picked{"dev",
                           *Ipv4::parse("10.0.1.40"),
                           "ess",
                           6,
                           false,
                           {0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa},
                           DeviceKind::AccessPoint,
                           *Ipv4::parse("10.0.1.1")};
    for (const std::string command : {"Msetip", "Mload"}) {
        MainWindowHarness h;
        h.start();
        h.window->deviceList().appendRows({picked});
        h.reply(kTwo, 1); // listed last: the hand-off values now point at it
        h.rightClick(h.rowPoint(0));
        h.closePopups();
        h.action(command.c_str())->trigger();
        ASSERT_EQ(h.dialogs.calls.size(), 1u) << command;
        const auto& [dialog, values, openDiscovery] = h.dialogs.calls[0];
        EXPECT_EQ(dialog, command == "Msetip" ? "Setips" : "Download");
        if (command == "Msetip") {
            EXPECT_EQ(values.device.mac, picked.mac);
        } else {
            EXPECT_EQ(values.kind, fw::DeviceKind::AccessPoint);
            EXPECT_EQ(values.device.ip, picked.ip);
        }
        EXPECT_EQ(values.localAdapterIp, picked.adapterIp) << command;
        EXPECT_EQ(openDiscovery, 0u) << "port 4001 must be free for the dialog";

        const auto& model = h.window->deviceList();
        for (int row = 0; row < model.rowCount(); ++row) {
            const auto cell = [&](int column) {
                return model.index(row, column).data().toString().toStdString();
            };
            EXPECT_EQ(parseMac(cell(5)), model.rowAt(row).mac);
            EXPECT_EQ(cell(6) == "A", model.rowAt(row).kind == fw::DeviceKind::AccessPoint);
        }
    }
}

// Rows listed before the engine closed the discovery sockets reach the window inside the dialog's
// event loop and move the window's hand-off values to the device listed last. The open dialog still
// checks, flushes, shakes hands with and configures the device picked for it, through its adapter.
TEST(MainWindowRows, RowsListedWhileADialogIsOpenLeaveItsTargetUnchanged) {
    const FakeDevice picked{{.mac = {0, 0x0a, 0x1b, 0x2c, 0x3d, 0x01}, .name = "picked", .kind = "AP"},
                            "10.0.0.20"};
    const FakeDevice late{{.mac = {0, 0x0a, 0x1b, 0x2c, 0x3d, 0x02}, .name = "late", .kind = ""},
                          "10.0.1.21"};
    const Ipv4 pickedIp{{10, 0, 0, 20}}, pickedAdapter{{10, 0, 0, 1}};
    QTemporaryDir dir;
    const QString apImage = dir.filePath("ap.bin");
    QFile file(apImage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("AP Config") > 0);
    file.close();

    for (const char* command : {"Mload", "setip"}) {
        MainWindowHarness h(true);
        h.start();
        h.reply(picked);
        h.press(Qt::LeftButton, h.rowPoint(0));
        h.queueReply(late, 1);
        h.runRowDialog(command, [&](QWidget& dialog) {
            h.fakes.settle();
            EXPECT_EQ(h.window->deviceList().rowCount(), 2)
                << "the late row came in while the dialog was open";
            EXPECT_EQ(h.window->logic().selectedDeviceIp(), Ipv4::parse(late.second));
            const auto* deviceLine = dialog.findChild<QLabel*>("DeviceLine");
            ASSERT_NE(deviceLine, nullptr);
            EXPECT_EQ(deviceLine->text(),
                      QString::fromUtf8("picked \u00b7 10.0.0.20 \u00b7 00-0A-1B-2C-3D-01"));
            const std::size_t before = h.fakes.sent().size();
            if (std::string(command) == "Mload") {
                dialog.findChild<PathBox*>("Combo1")->setEditText(apImage);
                QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
                ASSERT_TRUE(QTest::qWaitFor([&] { return h.fakes.sent().size() > before; }, 3000));
                EXPECT_TRUE(h.fakes.messages.shown.empty()) << "an AP image for an AP: no question";
                const auto flushes = h.fakes.calls.list();
                EXPECT_FALSE(flushes.empty());
                for (const std::string& call : flushes) {
                    EXPECT_EQ(call, "flush 10.0.0.20");
                }
                const auto handshake = h.fakes.sent().back();
                EXPECT_EQ(handshake.to, (UdpAddress{pickedIp, 4000}));
                EXPECT_EQ(handshake.from.ip, pickedAdapter);
            } else {
                QTest::mouseClick(dialog.findChild<QRadioButton*>("Option1"), Qt::LeftButton);
                EXPECT_EQ(dialog.findChild<ZavikIPAddress*>("ZavikIPAddress1")->ipAddress(), "10.0.0.2");
                QTest::mouseClick(dialog.findChild<QPushButton*>("Command2"), Qt::LeftButton);
                const auto sent = h.fakes.sent();
                ASSERT_EQ(sent.size(), before + 1);
                EXPECT_EQ(sent.back().from, (UdpAddress{pickedAdapter, 4001}));
                using Bytes = std::vector<std::uint8_t>;
                EXPECT_EQ(Bytes(sent.back().bytes.begin() + 8, sent.back().bytes.begin() + 14),
                          Bytes(std::begin(picked.first.mac), std::end(picked.first.mac)));
            }
        });
        h.fakes.quiet();
    }
}

TEST(MainWindowRows, MaintenanceCommandsSendNothing) {
    MainWindowHarness h;
    h.start();
    h.invokeHidden("Mreturn");
    EXPECT_TRUE(h.fakes.calls.list().empty()) << "no address yet";
    h.reply(kOne);
    h.rightClick(h.rowPoint(0));
    h.closePopups();
    const std::size_t sentBefore = h.sent();
    for (const char* command : {"MDiag", "MDiagnois", "Mreturn", "MReturnToNormal"}) {
        h.invokeHidden(command); // Mreturn is off since the right release on the row
    }
    EXPECT_EQ(h.sent(), sentBefore);
    EXPECT_EQ(h.fakes.calls.list(), (std::vector<std::string>{"flush 10.0.0.20"}));
    EXPECT_TRUE(h.fakes.messages.shown.empty());
}

// Screen readers get the captions: the picture buttons their menu entries', the list its devices'
// column title, the Set IP entries (and each of their boxes) the labels beside them.
TEST(MainWindowAccessibility, ControlsAreNamedFromTheirCaptions) {
    const auto text = [](Str id) {
        return QString::fromUtf8(loadResString(id).data());
    };
    MainWindowHarness h(true);
    h.start();
    EXPECT_EQ(h.widget("Command3")->accessibleName(), h.action("delete")->text());
    EXPECT_EQ(h.widget("Command4")->accessibleName(), h.action("search")->text());
    EXPECT_EQ(h.widget("ListView1")->accessibleName(), text(Str::ColDevice));
    h.reply(kOne);
    h.press(Qt::LeftButton, h.rowPoint(0));
    // A screen reader walks the list's header cells, then the rows' cells, the hidden kind's in words.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(h.list());
    QStringList named;
    for (int i = 0; i < list->childCount(); ++i) {
        named << list->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(named.join('|'),
              "Wireless Device|IP Address|ESS-ID|Channel No|WEP|Mac Address|Kind|one|10.0.0.20|"
              "office-net|6|Disabled|00-0A-1B-2C-3D-4E|Access point");
    h.runRowDialog("setip", [&](QWidget& dialog) {
        const std::pair<int, Str> entries[]{{1, Str::Ip}, {2, Str::Mask}, {3, Str::Gateway}};
        for (const auto& [n, caption] : entries) {
            auto* entry = dialog.findChild<QWidget*>(QStringLiteral("ZavikIPAddress%1").arg(n));
            EXPECT_EQ(entry->accessibleName(), text(caption));
            EXPECT_EQ(entry->findChild<QWidget*>("txtIP2")->accessibleName(),
                      text(caption) + ", part 3 of 4");
        }
    });
}

// A right release shows the popup for what is under the pointer, a left one shows nothing; either
// button chooses a popup entry.
TEST(MainWindowMenus, RightReleaseShowsThePopupAndEitherButtonChooses) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo);
    h.rightClick(h.spacePoint());
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget()->objectName(), "Mall");
    h.closePopups();
    h.press(Qt::LeftButton, h.rowPoint(0));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    h.rightClick(h.rowPoint(0));
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "Mpop");
    QTest::mouseClick(popup, Qt::RightButton, {}, popup->actionGeometry(h.action("Mdelete")).center());
    ASSERT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.window->deviceList().rowAt(0).name, "two");
}

// The rows from the keyboard: the context-menu key (or Shift+F10) opens the popup of the picked
// row at that row, or the space popup without a pick; Enter connects like a double-click, Delete
// deletes the picked row and F5 searches.
TEST(MainWindowMenus, KeyboardWorksTheRows) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo);
    DeviceListView* list = h.list();
    list->setFocus();
    const auto contextKey = [&] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0), list->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(list, &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    h.press(Qt::LeftButton, h.spacePoint());
    QMenu* popup = contextKey();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "Mall");
    h.closePopups();

    QTest::keyClick(list, Qt::Key_Down); // keyboard navigation picks the next row, here the first
    ASSERT_EQ(list->pickedRow(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->pickedRow(), 1);
    popup = contextKey();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "Mpop");
    const QRect row = list->visualRect(h.window->deviceList().index(1, 0));
    const QRect rowOnScreen(list->viewport()->mapToGlobal(row.topLeft()), row.size());
    EXPECT_LE(std::abs(popup->pos().y() - rowOnScreen.bottom()), row.height()) << "opens at the row";
    EXPECT_TRUE(h.enabled("mDownload")) << "the popup rule ran";
    h.closePopups();

    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(h.fakes.calls.list(), (std::vector<std::string>{"flush 10.0.0.21", "open http://10.0.0.21"}));
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(h.window->deviceList().rowCount(), 1);
    EXPECT_EQ(h.window->deviceList().rowAt(0).name, "one");
    const std::size_t openedBefore = h.sent();
    QTest::keyClick(list, Qt::Key_F5);
    EXPECT_EQ(h.window->deviceList().rowCount(), 0) << "F5 searches";
    EXPECT_GT(h.sent(), openedBefore);
}

// Ctrl+C on the list copies the picked row for a spreadsheet, the popup its MAC or IP alone; Edit ->
// Copy follows the pick each time the menu opens, and nothing is copied without one.
TEST(MainWindowMenus, CopyPutsThePickedRowOnTheClipboard) {
    MainWindowHarness h;
    h.start();
    h.reply(kOne);
    h.reply(kTwo);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    DeviceListView* list = h.list();
    list->setFocus();
    const auto editCopyEnabled = [&] {
        h.window->findChild<QMenu*>("edit")->popup({});
        h.closePopups();
        return h.action("copy")->isEnabled();
    };
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(clipboard->text() == "before" && !editCopyEnabled()) << "no row picked";
    h.press(Qt::LeftButton, h.rowPoint(0));
    QTest::keyClick(list, Qt::Key_Down); // the keyboard's pick is the one copied
    EXPECT_TRUE(editCopyEnabled());
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "Wireless Device\tIP Address\tESS-ID\tChannel No\tWEP\tMac Address\n"
                                 "two\t10.0.0.21\toffice-net\t6\tDisabled\t00-0A-1B-2C-3D-4F\n");
    h.action("Mcopyip")->trigger();
    EXPECT_EQ(clipboard->text(), "10.0.0.21");
    h.action("Mcopymac")->trigger();
    EXPECT_EQ(clipboard->text(), "00-0A-1B-2C-3D-4F");
}

// A click on the IP header sorts the rows as numbers through the window's logic; the second
// reverses, the header shows which, and the pick stays on its device.
TEST(MainWindowRows, HeaderClicksSortByAddressAndKeepThePick) {
    MainWindowHarness h;
    h.start();
    for (const char* ip : {"10.0.0.20", "10.0.0.100", "10.0.0.9"}) {
        h.reply({{.name = "d"}, ip});
    }
    QHeaderView* header = h.list()->header();
    EXPECT_FALSE(header->isSortIndicatorShown()) << "arrival order at first";
    const auto ips = [&] {
        std::string out;
        for (int row = 0; row < h.window->deviceList().rowCount(); ++row) {
            out += h.window->deviceList().index(row, 1).data().toString().toStdString() + " ";
        }
        return out;
    };
    const auto clickIpHeader = [&] {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            {header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2});
    };
    h.press(Qt::LeftButton, h.rowPoint(2)); // 10.0.0.9
    clickIpHeader();
    EXPECT_EQ(ips(), "10.0.0.9 10.0.0.20 10.0.0.100 ");
    EXPECT_TRUE(header->isSortIndicatorShown() && header->sortIndicatorSection() == 1 &&
                header->sortIndicatorOrder() == Qt::AscendingOrder);
    EXPECT_EQ(h.list()->pickedRow(), 0);
    clickIpHeader();
    EXPECT_EQ(ips(), "10.0.0.100 10.0.0.20 10.0.0.9 ");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(h.list()->pickedRow(), 2);
}

} // namespace
} // namespace fw::test
