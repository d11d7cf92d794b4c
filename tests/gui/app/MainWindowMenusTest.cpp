#include "MainWindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace fw::test {
namespace {

struct Entry {
    const char* name;
    const char* caption; // "-" for a separator
    bool shown;
};

struct MenuShape {
    const char* name;
    const char* title;
    std::vector<Entry> entries;
};

const std::vector<MenuShape> kMenuBar{
    {"file",
     "File",
     {{"mOpen", "&Open", false},
      {"save", "&Save", false},
      {"saveas", "Save &As", false},
      {"file1p", "-", false},
      {"connect", "Connect", true},
      {"file2p", "-", true},
      {"mexit", "Exit", true}}},
    {"edit",
     "Edit",
     {{"delete", "Delete", true},
      {"all", "Delete &All", true},
      {"dedit", "-", true},
      {"search", "Search", true}}},
    {"view", "View", {{"toolbar", "Toolbar", true}}},
    {"admin",
     "Admin",
     {{"setip", "Set IP Address...", true},
      {"donset", "-", true},
      {"MDiagnois", "&Diagnostic", false},
      {"MReturnToNormal", "&Return to &Normal mode", false},
      {"Mload", "Upgrade FW...", true}}},
    {"Mhelp", "Help", {{"helptopic", "Help &Topics...", false}, {"Mabout", "About Fernwick", true}}},
};

const std::vector<MenuShape> kPopups{
    {"Mpop",
     "Mpop",
     {{"Msetip", "Set IP Address...", true},
      {"mDownload", "Upgrade FW...", true},
      {"Mreturn", "&Return to Normal Mode", false},
      {"MDiag", "&Diagnostic", false},
      {"pop1", "-", true},
      {"Mdelete", "Delete", true}}},
    {"Mall", "Mall", {{"Mdelall", "Delete &All", true}}},
};

void expectEntries(QMenu* menu, const MenuShape& shape) {
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(shape.entries.size())) << shape.name;
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const Entry& e = shape.entries[static_cast<std::size_t>(i)];
        QAction* a = actions[i];
        EXPECT_EQ(a->objectName().toStdString(), e.name) << shape.name << " #" << i;
        if (std::string(e.caption) == "-") {
            EXPECT_TRUE(a->isSeparator()) << e.name;
        } else {
            EXPECT_FALSE(a->isSeparator()) << e.name;
            EXPECT_EQ(a->text().toStdString(), e.caption) << e.name;
        }
        EXPECT_EQ(a->isVisible(), e.shown) << e.name;
        EXPECT_TRUE(a->shortcut().isEmpty()) << e.name << " has a shortcut key";
    }
}

// Captions of the shown entries, in order, as the operator sees the opened menu.
std::vector<std::string> shownCaptions(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        if (a->isVisible()) {
            out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        }
    }
    return out;
}

TEST(MainWindowMenus, MenuBarTreeNamesAndCaptions) {
    MainWindowHarness h;
    const QList<QAction*> bar = h.window->menuBar()->actions();
    ASSERT_EQ(bar.size(), static_cast<qsizetype>(kMenuBar.size()));
    for (std::size_t i = 0; i < kMenuBar.size(); ++i) {
        const MenuShape& shape = kMenuBar[i];
        QMenu* menu = bar[static_cast<qsizetype>(i)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName().toStdString(), shape.name);
        EXPECT_EQ(menu->title().toStdString(), shape.title);
        expectEntries(menu, shape);
    }
    QAction* toolbar = h.action("toolbar");
    EXPECT_TRUE(toolbar->isCheckable());
    EXPECT_TRUE(toolbar->isChecked());
}

TEST(MainWindowMenus, PopupsAreNotInTheMenuBar) {
    MainWindowHarness h;
    for (const MenuShape& shape : kPopups) {
        auto* menu = h.window->findChild<QMenu*>(shape.name);
        ASSERT_NE(menu, nullptr) << shape.name;
        EXPECT_FALSE(h.window->menuBar()->actions().contains(menu->menuAction())) << shape.name;
        expectEntries(menu, shape);
    }
}

TEST(MainWindowMenus, WindowTitleAndToolbar) {
    MainWindowHarness h;
    EXPECT_EQ(h.window->objectName(), "start");
    EXPECT_EQ(h.window->windowTitle(), "Fernwick");
    EXPECT_FALSE(h.window->windowIcon().isNull());
    auto* del = h.window->findChild<QToolButton*>("Command3");
    auto* search = h.window->findChild<QToolButton*>("Command4");
    ASSERT_TRUE(del && search);
    EXPECT_EQ(del->toolTip(), "Delete");
    EXPECT_EQ(search->toolTip(), "Search");
    EXPECT_FALSE(del->icon().isNull());
    EXPECT_FALSE(search->icon().isNull());
    EXPECT_LT(del->x(), search->x());
}

// The hidden entries stay hidden whatever the list goes through, and the opened menus show only
// what the operator should see.
TEST(MainWindowMenus, HiddenEntriesAreNeverShown) {
    MainWindowHarness h;
    h.start();
    h.reply({"ap-one", "10.0.0.20", {0, 1, 2, 3, 4, 5}, true});
    h.press(Qt::LeftButton, h.rowPoint(0));
    h.rightClick(h.rowPoint(0));
    h.closePopups();
    h.rightClick(h.spacePoint());
    h.closePopups();

    const auto menu = [&](const char* name) {
        return h.window->findChild<QMenu*>(name);
    };
    using Captions = std::vector<std::string>;
    EXPECT_EQ(shownCaptions(menu("file")), (Captions{"Connect", "-", "Exit"}));
    EXPECT_EQ(shownCaptions(menu("edit")), (Captions{"Delete", "Delete &All", "-", "Search"}));
    EXPECT_EQ(shownCaptions(menu("admin")), (Captions{"Set IP Address...", "-", "Upgrade FW..."}));
    EXPECT_EQ(shownCaptions(menu("Mhelp")), (Captions{"About Fernwick"}));
    EXPECT_EQ(shownCaptions(menu("Mpop")), (Captions{"Set IP Address...", "Upgrade FW...", "-", "Delete"}));
    EXPECT_EQ(shownCaptions(menu("Mall")), (Captions{"Delete &All"}));
}

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
