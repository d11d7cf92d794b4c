// SPDX-License-Identifier: GPL-3.0-or-later
// The window's searches as the program wires them: the main window's logic hears the search cycle.
#include "qt/WindowSearch.h"

#include "qt/DeviceListModel.h"
#include "qt/MainWindow.h"
#include "qt/RowDialogs.h"
#include "qt/SearchingDialog.h"
#include "support/Fakes.h"
#include "support/ReplyBytes.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::replyBytes;

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

const AdapterEntry kEth0 = test::adapterOn24("10.77.1.1", "10.77.1.254", {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2);
const AdapterEntry kEth1 = test::adapterOn24("10.77.2.1", "10.77.2.254", {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3);

QDialog* searchingDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "pending" && w->isVisible()) {
            return qobject_cast<QDialog*>(w);
        }
    }
    return nullptr;
}

struct NoDialogs final : RowDialogs {
    int openSetIp(QWidget*, const SetIpDialog::Opening&) override { return 0; }
    void openUpgrade(QWidget*, const UpgradeDialog::Opening&) override {}
};

class WindowSearchGui : public ::testing::Test {
protected:
    void SetUp() override { fake.host.useAdapters({kEth0, kEth1}); }

    // The toolbar's Search locks itself for its search: enabled again means the search has finished.
    void searchByButton() {
        searchButton->click();
        ASSERT_FALSE(searchButton->isEnabled());
    }
    bool finished() const { return searchButton->isEnabled(); }
    // Presses Cancel at once, so each search takes one 0.2 s step.
    void searchAndCancel() {
        cycle.search();
        QDialog* d = searchingDialog();
        ASSERT_NE(d, nullptr);
        QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !cycle.countdownRunning(); }, 1000));
        fake.settle();
    }
    // What the discovery socket of `adapter` sent, as (sequence, requester MAC) pairs.
    std::vector<std::pair<int, MacAddress>> requestsFrom(Ipv4 adapter) {
        std::vector<std::pair<int, MacAddress>> out;
        for (const auto& d : fake.sent()) {
            if (d.from == UdpAddress{adapter, 4001}) {
                EXPECT_EQ(d.to, (UdpAddress{Ipv4::broadcast(), 4000}));
                MacAddress mac{};
                std::copy_n(d.bytes.begin() + 8, 6, mac.begin());
                out.emplace_back(d.bytes[6] << 8 | d.bytes[7], mac);
            }
        }
        return out;
    }
    void reply(const test::ReplyFields& fields, const char* from, const AdapterEntry& on) {
        fake.deliver({*on.ip, 4001}, {ip(from), 4000}, replyBytes(fields));
    }

    test::FakePlatform fake;
    Platform platform = fake.platform();
    NoDialogs dialogs;
    MainWindow window{platform, fake.link(), dialogs}; // never shown: no search of its own
    SearchCycle& cycle = window.searches();
    const MainWindowLogic& logic = window.logic();
    DeviceListModel& model = window.deviceList();
    QToolButton* searchButton = window.findChild<QToolButton*>("Command4");
};

TEST_F(WindowSearchGui, TheSearchingDialogShowsItsTextsAndStopsOneStepAfterAnyCancel) {
    searchByButton();
    QDialog* d = searchingDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->windowTitle(), "Searching...");
    EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "Searching for Wireless Device on the network.");
    auto* bar = d->findChild<QProgressBar*>("ProgressBar1");
    EXPECT_EQ(std::make_pair(bar->minimum(), bar->maximum()), std::make_pair(0, 14));
    auto* cancel = d->findChild<QPushButton*>("Command1");
    EXPECT_EQ(cancel->text(), "Cancel");
    const double px = d->logicalDpiX() / 1440.0; // twips
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_EQ(d->size(), QSize(qRound(5535 * px), qRound(2160 * px)));
    EXPECT_EQ(cancel->geometry(),
              QRect(qRound(2040 * px), qRound(1560 * px), qRound(1455 * px), qRound(375 * px)));

    int barAtEnd = -1; // the dialog deletes itself once it has closed
    QObject::connect(qobject_cast<SearchingDialog*>(d), &SearchingDialog::countdownEnded, bar,
                     [&barAtEnd, bar] { barAtEnd = bar->value(); });
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(cycle.countdownRunning()); // it ends at the next step, not at the click
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished(); }, 1000));
    EXPECT_LT(t.elapsed(), 1500); // the whole countdown would take 3 s
    EXPECT_EQ(barAtEnd, 0);
    EXPECT_EQ(searchingDialog(), nullptr);

    for (const bool byEsc : {false, true}) { // closing by the frame or Esc is a Cancel too
        searchByButton();
        byEsc ? QTest::keyClick(searchingDialog(), Qt::Key_Escape) : void(searchingDialog()->close());
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished(); }, 1000)) << byEsc;
        EXPECT_EQ(searchingDialog(), nullptr);
    }
}

TEST_F(WindowSearchGui, SocketsLiveAcrossSearchesAndEachAdapterSendsItsOwnRequest) {
    searchAndCancel();
    // The adapter's address changes: socket 0 keeps its binding, socket 1 binds afresh.
    AdapterEntry moved = kEth0;
    moved.ip = Ipv4::parse("10.77.1.99");
    fake.host.useAdapters({moved, kEth1});
    searchAndCancel();
    EXPECT_EQ(fake.bindCount(), 3);
    using Requests = std::vector<std::pair<int, MacAddress>>;
    EXPECT_EQ(requestsFrom(*kEth0.ip), (Requests{{1, kEth0.mac}, {2, kEth0.mac}})); // each its own MAC
    EXPECT_EQ(requestsFrom(*kEth1.ip), (Requests{{1, kEth1.mac}, {2, kEth1.mac}}));
    EXPECT_EQ(logic.adapters().searched, (AdapterTable{moved, kEth1}));

    cycle.closeDiscoverySockets();
    EXPECT_EQ(fake.openCount(), 0u);
    searchAndCancel();
    EXPECT_EQ(requestsFrom(*moved.ip), (Requests{{3, kEth0.mac}}));
    EXPECT_EQ(fake.openCount(), 2u);
}

// Port 4001 held by another program is said once per search, naming the adapters; an empty list
// would otherwise read as "no devices there".
TEST_F(WindowSearchGui, ASocketThatCannotBeBoundIsSkippedSaidAndTriedAgainNextSearch) {
    fake.refuse("eth0", 4001, std::errc::address_in_use);
    fake.refuse("eth1", 4001, std::errc::address_in_use);
    searchAndCancel(); // the dialog runs all the same
    EXPECT_TRUE(fake.sent().empty());
    fake.onEngine([this] { fake.endpoints.refuse.erase({"eth1", 4001}); }); // eth0 keeps failing
    searchAndCancel();
    EXPECT_EQ(fake.bindCount(), 4);
    EXPECT_EQ(fake.sent().size(), 1u);
    EXPECT_EQ(fake.messages.shown.at(0).title, "Fernwick");
    EXPECT_EQ(fake.messages.texts(),
              (std::vector<std::string>{"eth0 (10.77.1.1): UDP port 4001 is in use by another program\n"
                                        "eth1 (10.77.2.1): UDP port 4001 is in use by another program",
                                        "eth0 (10.77.1.1): UDP port 4001 is in use by another program"}));

    // A vanished adapter is no news; one this process has no socket left for goes unsearched.
    fake.refuse("eth0", 4001, std::errc::no_such_device);
    fake.refuse("eth1", 4001, std::errc::too_many_files_open);
    searchAndCancel();
    ASSERT_EQ(fake.messages.shown.size(), 3u);
    EXPECT_EQ(fake.messages.texts().back(),
              "eth1 (10.77.2.1): Cannot use UDP port 4001 on this adapter: " +
                  std::make_error_code(std::errc::too_many_files_open).message());
}

TEST_F(WindowSearchGui, RepliesBecomeRowsAlsoAfterTheDialogClosedUntilTheNextSearch) {
    const auto connectOn = [this] {
        return window.enabling().enabled(Command::FileConnect);
    };
    searchAndCancel();
    EXPECT_FALSE(connectOn()); // the search emptied the list
    QTest::qWait(300);
    reply({.sequence = 1, .wep = 1, .name = "late", .kind = "G"}, "192.168.99.7", kEth1);
    reply({.sequence = 1}, "192.168.99.7", kEth0); // same sender again: no row, no hand-off
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.rowAt(0).name, "late");
    EXPECT_EQ(model.rowAt(0).adapterIp, ip("10.77.2.1"));
    EXPECT_TRUE(connectOn());
    EXPECT_EQ(logic.selectedDeviceIp(), ip("192.168.99.7"));
    EXPECT_EQ(logic.localAdapterIp(), ip("10.77.2.1"));

    // A search while the countdown runs: list emptied, requests sent, no second countdown.
    cycle.search();
    QDialog* first = searchingDialog();
    searchByButton();
    EXPECT_EQ(searchingDialog(), first);
    EXPECT_EQ(model.rowCount(), 0);
    reply({.sequence = 3}, "10.77.1.10", kEth0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(logic.selectedDeviceIp(), ip("10.77.1.10"));
    QTest::mouseClick(first->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished(); }, 1000));
    QTest::qWait(300);
    EXPECT_EQ(searchingDialog(), nullptr);
    EXPECT_FALSE(cycle.countdownRunning());
}

} // namespace
} // namespace fw
