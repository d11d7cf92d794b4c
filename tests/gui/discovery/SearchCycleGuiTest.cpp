#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"

#include "support/Fakes.h"
#include "unit/discovery/ReplyBytes.h"
#include "unit/discovery/RowPrinting.h"

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

const AdapterEntry kEth0{"10.77.1.1", "255.255.255.0", "10.77.1.254", {0x02, 0xFE, 0, 0, 1, 1}, "eth0", 2};
const AdapterEntry kEth1{"10.77.2.1", "255.255.255.0", "10.77.2.254", {0x02, 0xFE, 0, 0, 2, 1}, "eth1", 3};

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

    // Presses Cancel at once and waits for the countdown to end (one 0.2 s step).
    void cancelAndWait() {
        QDialog* d = searchingDialog();
        ASSERT_NE(d, nullptr);
        QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !cycle.countdownRunning(); }, 1000));
    }
    void searchAndCancel() {
        cycle.search();
        cancelAndWait();
    }
    std::vector<FakeEndpoint*> sockets() const { return fake.network.alive(); }

    test::FakePlatform fake;
    Platform platform = fake.platform();
    ProcessValues values;
    DeviceListModel model;
    SearchCycle cycle{platform, values, model, nullptr};
};

TEST_F(SearchCycleGui, TheSearchingDialogShowsItsTextsAndStopsOneStepAfterCancel) {
    QSignalSpy finished(&cycle, &SearchCycle::searchFinished);
    cycle.search();
    QDialog* d = searchingDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->windowTitle(), "Searching...");
    EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "Searching for Wireless Device on the network.");
    auto* bar = d->findChild<QProgressBar*>("ProgressBar1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 14);
    EXPECT_EQ(bar->value(), 0);
    auto* cancel = d->findChild<QPushButton*>("Command1");
    EXPECT_EQ(cancel->text(), "Cancel");
    // 5535 x 2160 twips at the screen's dpi; the controls lie inside it.
    const double scale = d->logicalDpiX() / 1440.0;
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_EQ(d->width(), qRound(5535 * scale));
    EXPECT_EQ(d->height(), qRound(2160 * scale));
    EXPECT_EQ(cancel->geometry(),
              QRect(qRound(2040 * scale), qRound(1560 * scale), qRound(1455 * scale), qRound(375 * scale)));
    EXPECT_TRUE(d->rect().contains(bar->geometry()));

    QElapsedTimer t;
    t.start();
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(cycle.countdownRunning()); // it ends at the next step, not at the click
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 1000));
    EXPECT_LT(t.elapsed(), 600);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(searchingDialog(), nullptr);
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(SearchCycleGui, ClosingByTheFrameOrEscIsACancel) {
    for (const bool byEsc : {false, true}) {
        QSignalSpy finished(&cycle, &SearchCycle::searchFinished);
        cycle.search();
        QDialog* d = searchingDialog();
        ASSERT_NE(d, nullptr);
        if (byEsc) {
            QTest::keyClick(d, Qt::Key_Escape);
        } else {
            d->close();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 1000)) << byEsc;
        EXPECT_EQ(searchingDialog(), nullptr);
    }
}

TEST_F(SearchCycleGui, TwoAdaptersSendOneRequestEachWithTheirOwnMacEverySearch) {
    for (std::uint8_t n = 1; n <= 2; ++n) {
        searchAndCancel();
        const auto s = sockets();
        ASSERT_EQ(s.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const AdapterEntry& a = i == 0 ? kEth0 : kEth1;
            EXPECT_EQ(s[i]->boundInterface, a.interfaceName);
            EXPECT_EQ(s[i]->localPort(), 4001);
            ASSERT_FALSE(s[i]->sent.empty());
            const auto& last = s[i]->sent.back();
            EXPECT_EQ(last.to, Ipv4::broadcast());
            EXPECT_EQ(last.port, 4000);
            const std::vector<std::uint8_t> expected{
                0x87,     0x65,     0x43,     0x21,     0x10,     0,        0, n,
                a.mac[0], a.mac[1], a.mac[2], a.mac[3], a.mac[4], a.mac[5], 0, 0};
            EXPECT_EQ(last.bytes, expected) << int(n) << " " << i;
        }
        // Socket 0 lives on and has sent one request per search; socket 1 is new each time.
        EXPECT_EQ(s[0]->sent.size(), n);
        EXPECT_EQ(s[1]->sent.size(), 1u);
    }
    EXPECT_EQ(cycle.searchSequence(), 2);
    EXPECT_EQ(values.adapterTable, (AdapterTable{kEth0, kEth1}));
}

TEST_F(SearchCycleGui, SocketZeroKeepsItsBindingUntilTheSocketsAreClosed) {
    searchAndCancel();
    FakeEndpoint* zero = sockets().at(0);
    EXPECT_EQ(zero->bindCount, 1);
    // The adapter's address changes: socket 0 keeps the old binding, the new socket 1 takes the new one.
    AdapterEntry moved = kEth0;
    moved.ip = "10.77.1.99";
    fake.adapters.selection.table = {moved, kEth1};
    searchAndCancel();
    EXPECT_EQ(sockets().at(0), zero);
    EXPECT_EQ(zero->bindCount, 1);
    EXPECT_EQ(zero->localAddress(), ip("10.77.1.1"));

    cycle.closeDiscoverySockets();
    for (auto* s : sockets()) {
        EXPECT_FALSE(s->isOpen());
    }
    searchAndCancel();
    EXPECT_EQ(zero->bindCount, 2);
    EXPECT_EQ(zero->localAddress(), ip("10.77.1.99"));
    EXPECT_EQ(fake.network.openOnPort(4001).size(), 2u);
}

TEST_F(SearchCycleGui, ASocketThatCannotBeBoundIsSkippedAndTriedAgainNextSearch) {
    fake.network.failBinds = true;
    QSignalSpy started(&cycle, &SearchCycle::searchStarted);
    cycle.search();
    EXPECT_TRUE(cycle.countdownRunning()); // the dialog runs all the same
    cancelAndWait();
    EXPECT_EQ(started.count(), 1);
    for (auto* s : sockets()) {
        EXPECT_TRUE(s->sent.empty());
    }
    fake.network.failBinds = false; // socket 0 keeps failing; the new socket 1 binds
    searchAndCancel();
    const auto s = sockets();
    EXPECT_EQ(s.at(0)->bindCount, 2);
    EXPECT_TRUE(s.at(0)->sent.empty());
    EXPECT_EQ(s.at(1)->sent.size(), 1u);
}

TEST_F(SearchCycleGui, RepliesBecomeRowsAlsoAfterTheDialogClosedUntilTheNextSearch) {
    QSignalSpy added(&cycle, &SearchCycle::rowAdded);
    cycle.search();
    FakeEndpoint* eth1 = sockets().at(1);
    eth1->deliver(replyBytes({.sequence = 1, .name = "during"}), ip("10.77.2.10"), 4000);
    cancelAndWait();
    QTest::qWait(300);
    eth1->deliver(replyBytes({.sequence = 1, .wep = 1, .name = "late", .kind = "G"}), ip("192.168.99.7"),
                  4000);
    eth1->deliver(replyBytes({.sequence = 1, .name = "again"}), ip("192.168.99.7"), 4000); // repeat
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(added.count(), 2);
    EXPECT_EQ(added.at(1).at(0).toInt(), 1);
    const DeviceRow expected{"late",    "192.168.99.7",      "office-net", "6",
                             "Enabled", "00-0A-1B-2C-3D-4E", "G",          "10.77.2.1"};
    EXPECT_EQ(model.rowAt(1), expected);
    EXPECT_EQ(values.selectedDeviceIp, "192.168.99.7");
    EXPECT_FALSE(values.selectedDeviceIsAp);
    EXPECT_EQ(values.localAdapterIp, "10.77.2.1");

    // The next search empties the list even when nobody answers, and drops answers to the last one.
    cycle.search();
    EXPECT_EQ(model.rowCount(), 0);
    sockets().at(0)->deliver(replyBytes({.sequence = 1}), ip("10.77.1.10"), 4000);
    EXPECT_EQ(model.rowCount(), 0);
    sockets().at(0)->deliver(replyBytes({.sequence = 2}), ip("10.77.1.10"), 4000);
    EXPECT_EQ(model.rowCount(), 1);
    cancelAndWait();
}

TEST_F(SearchCycleGui, ASearchDuringTheCountdownSendsButDoesNotCountDownAgain) {
    QSignalSpy finished(&cycle, &SearchCycle::searchFinished);
    cycle.search();
    QDialog* first = searchingDialog();
    sockets().at(0)->deliver(replyBytes({.sequence = 1}), ip("10.77.1.10"), 4000);
    ASSERT_EQ(model.rowCount(), 1);
    cycle.search();
    EXPECT_EQ(searchingDialog(), first);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(sockets().at(0)->sent.back().bytes[7], 2);
    cancelAndWait();
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(SearchCycleGui, NoUsableAdapterShowsTheMessageAndReportsTheFailure) {
    struct Case {
        AdapterOutcome outcome;
        const char* text;
    };
    const Case cases[] = {
        {AdapterOutcome::NoAdapter, "No network adapter card, please lanch a network card"},
        {AdapterOutcome::StatusError, "Network adapter status error, Please recheck"},
    };
    for (const auto& c : cases) {
        fake.messages.shown.clear();
        fake.adapters.selection = {c.outcome, {}};
        std::vector<AdapterOutcome> failures;
        const auto conn = QObject::connect(&cycle, &SearchCycle::adapterFailure,
                                           [&failures](AdapterOutcome o) { failures.push_back(o); });
        cycle.search();
        QObject::disconnect(conn);
        ASSERT_EQ(fake.messages.shown.size(), 1u);
        EXPECT_EQ(fake.messages.shown[0],
                  (Message{c.text, "Fernwick", MessageIcon::None, MessageButtons::Ok}));
        EXPECT_EQ(failures, std::vector<AdapterOutcome>{c.outcome});
        EXPECT_FALSE(cycle.countdownRunning());
        EXPECT_TRUE(fake.network.alive().empty());
    }
}

TEST(DeviceListModelGui, SevenColumnsWithTitlesTextsAndTheRowIcon) {
    DeviceListModel model;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    model.setRowIcon(QIcon(pixmap));
    model.appendRow({"Caf\xE9", "10.0.0.2", "ess", "11", "Disabled", "00-0A-1B-2C-3D-4E", "A", "10.0.0.1"});
    model.appendRow({"second", "10.0.0.3", "", "1", "Enabled", "00-00-00-00-00-01", "G", "10.0.0.1"});
    ASSERT_EQ(model.columnCount(), 7);
    const QStringList titles{
        "Wireless Device", "IP Address", "ESS-ID", "Channel No", "WEP", "Mac Address", ""};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
    }
    const QStringList cells{
        QString::fromLatin1("Caf\xE9"), "10.0.0.2", "ess", "11", "Disabled", "00-0A-1B-2C-3D-4E", "A"};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(model.data(model.index(0, c)).toString(), cells[c]);
        EXPECT_EQ(model.data(model.index(0, c), Qt::DecorationRole).isValid(), c == 0);
    }
    model.removeDeviceRow(0);
    model.removeDeviceRow(5); // out of range: nothing
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.rowAt(0).name, "second");
    model.clear();
    EXPECT_TRUE(model.isEmpty());
}

} // namespace
} // namespace fw
