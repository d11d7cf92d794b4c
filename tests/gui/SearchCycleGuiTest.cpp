// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "support/Fakes.h"
#include "support/ReplyBytes.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::FakeEndpoint;
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

class SearchCycleGui : public ::testing::Test {
protected:
    void SetUp() override { fake.adapters.selection = {AdapterOutcome::Ok, {kEth0, kEth1}}; }

    // Presses Cancel at once, so each search takes one 0.2 s step.
    void searchAndCancel() {
        cycle.search();
        QDialog* d = searchingDialog();
        ASSERT_NE(d, nullptr);
        QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !cycle.countdownRunning(); }, 1000));
    }
    FakeEndpoint* socket(std::size_t i) const { return fake.network.alive().at(i); }

    test::FakePlatform fake;
    Platform platform = fake.platform();
    ProcessValues values;
    DeviceListModel model;
    SearchCycle cycle{platform, values, model, nullptr};
    QSignalSpy finished{&cycle, &SearchCycle::searchFinished};
};

TEST_F(SearchCycleGui, TheSearchingDialogShowsItsTextsAndStopsOneStepAfterAnyCancel) {
    cycle.search();
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
    QObject::connect(&cycle, &SearchCycle::searchFinished, bar,
                     [&barAtEnd, bar] { barAtEnd = bar->value(); });
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(cycle.countdownRunning()); // it ends at the next step, not at the click
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 1000));
    EXPECT_LT(t.elapsed(), 1500); // the whole countdown would take 3 s
    EXPECT_EQ(barAtEnd, 0);
    EXPECT_EQ(searchingDialog(), nullptr);

    for (const bool byEsc : {false, true}) { // closing by the frame or Esc is a Cancel too
        cycle.search();
        byEsc ? QTest::keyClick(searchingDialog(), Qt::Key_Escape) : void(searchingDialog()->close());
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2 + byEsc; }, 1000)) << byEsc;
        EXPECT_EQ(searchingDialog(), nullptr);
    }
}

TEST_F(SearchCycleGui, SocketsLiveAcrossSearchesAndEachAdapterSendsItsOwnRequest) {
    searchAndCancel();
    FakeEndpoint* zero = socket(0);
    // The adapter's address changes: socket 0 keeps its binding, the new socket 1 binds afresh.
    AdapterEntry moved = kEth0;
    moved.ip = Ipv4::parse("10.77.1.99");
    fake.adapters.selection.table = {moved, kEth1};
    searchAndCancel();
    ASSERT_EQ(fake.network.alive().size(), 2u);
    EXPECT_EQ(socket(0), zero);
    EXPECT_EQ(zero->bindCount, 1);
    EXPECT_EQ(zero->localAddress(), ip("10.77.1.1"));
    for (std::size_t i = 0; i < 2; ++i) {
        const AdapterEntry& a = i == 0 ? kEth0 : kEth1;
        EXPECT_EQ(socket(i)->boundInterface, a.interfaceName);
        EXPECT_EQ(socket(i)->localPort(), 4001);
        const auto& sent = socket(i)->sent;
        ASSERT_EQ(sent.size(), i == 0 ? 2u : 1u); // socket 1 is new at every search
        EXPECT_EQ(std::make_pair(sent.back().to, sent.back().port),
                  std::make_pair(Ipv4::broadcast(), std::uint16_t{4000}));
        EXPECT_TRUE(std::equal(a.mac.begin(), a.mac.end(), sent.back().bytes.begin() + 8)); // its own MAC
    }
    EXPECT_EQ(values.adapterTable, (AdapterTable{moved, kEth1}));

    cycle.closeDiscoverySockets();
    EXPECT_TRUE(fake.network.openOnPort(4001).empty());
    searchAndCancel();
    EXPECT_EQ(zero->bindCount, 2);
    EXPECT_EQ(zero->localAddress(), ip("10.77.1.99"));
    EXPECT_EQ(fake.network.openOnPort(4001).size(), 2u);
}

// Port 4001 held by another program is said once per search, naming the adapters; an empty list
// would otherwise read as "no devices there".
TEST_F(SearchCycleGui, ASocketThatCannotBeBoundIsSkippedSaidAndTriedAgainNextSearch) {
    fake.network.failBinds = true;
    searchAndCancel(); // the dialog runs all the same
    EXPECT_TRUE(socket(0)->sent.empty());
    fake.network.failBinds = false; // socket 0 keeps failing; the new socket 1 binds
    searchAndCancel();
    EXPECT_EQ(socket(0)->bindCount, 2);
    EXPECT_TRUE(socket(0)->sent.empty());
    EXPECT_EQ(socket(1)->sent.size(), 1u);
    EXPECT_EQ(fake.messages.shown.at(0).title, "Fernwick");
    EXPECT_EQ(fake.messages.texts(),
              (std::vector<std::string>{"eth0 (10.77.1.1): UDP port 4001 is in use by another program\n"
                                        "eth1 (10.77.2.1): UDP port 4001 is in use by another program",
                                        "eth0 (10.77.1.1): UDP port 4001 is in use by another program"}));

    socket(0)->failReason = std::make_error_code(std::errc::no_such_device); // not another program
    searchAndCancel();
    EXPECT_EQ(fake.messages.shown.size(), 2u);
}

TEST_F(SearchCycleGui, RepliesBecomeRowsAlsoAfterTheDialogClosedUntilTheNextSearch) {
    QSignalSpy added(&cycle, &SearchCycle::rowAdded);
    searchAndCancel();
    QTest::qWait(300);
    socket(1)->deliver(replyBytes({.sequence = 1, .wep = 1, .name = "late", .kind = "G"}), ip("192.168.99.7"),
                       4000);
    socket(0)->deliver(replyBytes({.sequence = 1}), ip("192.168.99.7"), 4000); // same sender again
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(added.count(), 1);
    EXPECT_EQ(model.rowAt(0).name, "late");
    EXPECT_EQ(model.rowAt(0).adapterIp, ip("10.77.2.1"));

    // A search while the countdown runs: list emptied, requests sent, no second countdown.
    cycle.search();
    QDialog* first = searchingDialog();
    cycle.search();
    EXPECT_EQ(searchingDialog(), first);
    EXPECT_EQ(model.rowCount(), 0);
    socket(0)->deliver(replyBytes({.sequence = 3}), ip("10.77.1.10"), 4000);
    EXPECT_EQ(model.rowCount(), 1);
    QTest::mouseClick(first->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2; }, 1000));
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 2);
}

} // namespace
} // namespace fw
