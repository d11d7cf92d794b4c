#include "MainWindowHarness.h"

#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"

#include <QAction>
#include <QMenu>
#include <QTest>
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

} // namespace
} // namespace fw::test
