// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's logic without a toolkit, as both windows drive it: what the Qt window's tests
// pin through Qt is not repeated here.
#include "app/MainWindowLogic.h"

#include "support/CoreFakes.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fw {
namespace {

TEST(MenuTable, AccessKeysComeFromTheDesignAndDifferWithinAMenu) {
    const std::tuple<const char*, const char*, const char*> cases[]{
        // caption, design, shown
        {"Connect", "&Connect", "&Connect"},
        {"Delete &All", "Delete &All", "Delete &All"},
        {"About Fernwick", "&About", "&About Fernwick"},
        {"Set IP Address...", "Set &IP Address", "Set &IP Address..."},
        {"Upgrade FW...", "Upgrade FW", "Upgrade FW..."}};
    for (const auto& [caption, design, shown] : cases) {
        EXPECT_EQ(captionWithAccessKey(caption, design), shown) << design;
    }
    // Every entry shown can be chosen from the keyboard, by a key of its own within its menu.
    std::map<MenuId, std::set<char>> keys;
    for (const MenuEntry& entry : kMenuEntries) {
        if (!entry.shown || entry.command == MenuCommand::None) {
            continue;
        }
        const std::string caption = captionWithAccessKey(menuCaption(entry), entry.designCaption);
        const auto at = caption.find('&');
        ASSERT_NE(at, std::string::npos) << entry.name << " has no access key";
        EXPECT_TRUE(keys[entry.menu].insert(static_cast<char>(std::tolower(caption[at + 1]))).second)
            << entry.name;
    }
}

// Records what the logic asks of its views, one line a call.
struct View final : MainWindowLogic::View, SearchCycle::View {
    void render(const CommandEnabling& e) override { enabling = e; }
    int pickedRow() const override { return picked; }
    void unpick() override { picked = -1; }
    void showPopup(MainWindowLogic::Popup p, MainWindowLogic::PopupPlace at) override {
        using P = MainWindowLogic::PopupPlace;
        log.push_back(std::string(p == MainWindowLogic::Popup::Row ? "row" : "space") + " popup at " +
                      (at == P::Pointer     ? "pointer"
                       : at == P::PickedRow ? "row"
                                            : "corner"));
    }
    MessageAnswer ask(const Message& m) override {
        return log.push_back("ask " + m.text), MessageAnswer::Cancel;
    }
    void startFirstSearchTimer(std::chrono::milliseconds d) override {
        log.push_back("timer " + std::to_string(d.count()));
    }
    int openSetIp(const SetIpDialog::Opening& o) override {
        log.push_back("setip " + formatMac(o.device.mac) + " via " + toText(o.localAdapterIp));
        return o.adapterIndex;
    }
    void openUpgrade(const UpgradeDialog::Opening& o) override {
        log.push_back("upgrade " + o.device.ip.toString() + (o.kind == DeviceKind::Bridge ? " G" : " A") +
                      " via " + toText(o.localAdapterIp));
    }
    void flushNeighbour(Ipv4 ip) override { log.push_back("flush " + ip.toString()); }
    void openUrl(const std::string& url) override { log.push_back("open " + url); }
    void copyToClipboard(const std::string& text) override { log.push_back("copy " + text); }
    void showToolbar(bool) override {}
    void showAbout() override {}
    void endProgram(int status) override { log.push_back("end " + std::to_string(status)); }
    void closeWindow() override { log.push_back("close"); }
    void startCountdown() override { log.push_back("countdown"); }
    void showMessage(const Message& m) override { log.push_back("message " + m.text); }
    AdapterListing readAdapters() override { return host.readAdapters(); }
    test::FakeHost host;
    int picked = -1;
    std::vector<std::string> log;
    CommandEnabling enabling;
};

// A loaded main window over fake views, a fake port and a list of rows.
struct MainWindowLogicTest : ::testing::Test {
    MainWindowLogicTest() { logic.load(); }
    test::FakeJob<SearchJob> port;
    test::ListRows rows;
    View view;
    MainWindowLogic logic{view, rows, port, view};
    SearchCycle& search = logic.search();
};

TEST_F(MainWindowLogicTest, RunsASessionOverAnyToolkit) {
    logic.shown();
    logic.shown();
    logic.firstSearchDue();
    const auto row = [](const char* ip) {
        return DeviceRow{
            "d", *Ipv4::parse(ip), "e", 1, false, {}, DeviceKind::AccessPoint, *Ipv4::parse("10.0.0.1")};
    };
    port.handlers.events({row("10.0.0.20"), row("10.0.0.21")});
    ASSERT_EQ(rows.count(), 2);
    EXPECT_EQ(logic.selectedDeviceIp(), Ipv4::parse("10.0.0.21"))
        << "the row listed last is the selected one";
    view.picked = 0;
    logic.run(MenuCommand::Connect);
    logic.run(MenuCommand::SetIp);
    EXPECT_EQ(port.cancels, 1) << "Set IP needs port 4001";
    SocketError held{SocketError::Kind::PortInUse, {}, {Ipv4::parse("10.0.0.1"), {}, {}, {}, "eth0"}};
    port.handlers.events({SearchJob::Started{7, {held}, 1}});
    EXPECT_EQ(search.searchSequence(), 7);
    EXPECT_FALSE(logic.closeRequested()) << "Cancel keeps the window";

    view.host.useAdapters({});
    logic.run(MenuCommand::Search);
    EXPECT_TRUE(logic.closeRequested()) << "the program is ending: no second question";
    EXPECT_EQ(port.requests.size(), 1u);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{
                  "timer 500", "countdown", "flush 10.0.0.20", "open http://10.0.0.20",
                  "setip 00-00-00-00-00-00 via 10.0.0.1",
                  "message eth0 (10.0.0.1): UDP port 4001 is in use by another program", "ask Exit Fernwick?",
                  "message " + std::string(loadResString(Str::NoAdapter)), "end 1", "close"}));
}

// The keyboard works the rows as the mouse does: the context-menu key runs the popup rule for the
// picked row and opens the popup there, Enter connects like a double-click, Delete and F5 run
// their menu entries.
TEST_F(MainWindowLogicTest, KeysWorkTheRowsLikeTheMouse) {
    logic.firstSearchDue();
    search.countdownEnded();
    const auto row = [](const char* ip, const char* adapter) {
        return DeviceRow{
            "d", *Ipv4::parse(ip), "e", 1, false, {}, DeviceKind::AccessPoint, *Ipv4::parse(adapter)};
    };
    port.handlers.events({row("10.0.0.20", "10.0.0.1"), row("10.0.1.21", "10.0.1.1")});
    ASSERT_EQ(rows.count(), 2);
    view.log.clear();
    const auto earlier = port.handlers;

    struct Step {
        int picked;
        WindowKey key;
        std::vector<std::string> log;
        int rowsAfter;
    };
    const Step steps[]{
        {-1, WindowKey::ContextMenu, {"space popup at corner"}, 2},
        {-1, WindowKey::Enter, {}, 2},
        {-1, WindowKey::Delete, {}, 2},
        {0, WindowKey::ContextMenu, {"row popup at row"}, 2},
        {1, WindowKey::Enter, {"flush 10.0.1.21", "open http://10.0.1.21"}, 2},
        {0, WindowKey::Delete, {}, 1},
        {-1, WindowKey::F5, {"countdown"}, 0},
    };
    for (const Step& step : steps) {
        view.picked = step.picked;
        view.log.clear();
        EXPECT_TRUE(logic.keyPressed(step.key)) << static_cast<int>(step.key);
        EXPECT_EQ(view.log, step.log) << "picked " << step.picked << ", key " << static_cast<int>(step.key);
        EXPECT_EQ(rows.count(), step.rowsAfter) << "picked " << step.picked;
        if (step.key == WindowKey::ContextMenu) {
            EXPECT_EQ(logic.enabling().enabled(Command::PopupUpgrade), step.picked >= 0)
                << "the popup rule ran";
        }
        if (step.key == WindowKey::Enter && step.picked >= 0) {
            EXPECT_EQ(logic.localAdapterIp(), Ipv4::parse("10.0.1.1"))
                << "Enter picks the row as a double-click";
        }
    }
    EXPECT_EQ(port.requests.size(), 2u) << "F5 searched";
    earlier.events({row("10.0.0.9", "10.0.0.1")});
    EXPECT_EQ(rows.count(), 0) << "the row of a search before the list was emptied is dropped";
}

// A row command hands over the picked row's device, kind, MAC and adapter, never the row listed last;
// the enabling the window shows follows the list and the Search button's own search.
TEST_F(MainWindowLogicTest, RowCommandsHandThePickedRowAndTheWindowShowsTheEnabling) {
    const auto on = [this](Command c) {
        return view.enabling.enabled(c);
    };
    EXPECT_FALSE(on(Command::FileConnect) || on(Command::AdminUpgrade));
    logic.searchButton();
    EXPECT_FALSE(on(Command::SearchButton) || on(Command::DeleteButton)) << "locked for its search";
    const auto row = [](std::uint8_t n, DeviceKind kind) {
        return DeviceRow{"d",   Ipv4{{10, 0, n, 20}},     "e",  1,
                         false, {0, 0x0A, 0x1B, 0, 0, n}, kind, Ipv4{{10, 0, n, 1}}};
    };
    port.handlers.events(
        {row(0, DeviceKind::AccessPoint), row(1, DeviceKind::Bridge), row(2, DeviceKind::AccessPoint)});
    EXPECT_TRUE(on(Command::FileConnect) && on(Command::AdminUpgrade) && !on(Command::SearchButton));
    search.countdownEnded();
    EXPECT_TRUE(on(Command::SearchButton));
    view.picked = 1;
    logic.run(MenuCommand::Upgrade);
    logic.run(MenuCommand::SetIp);
    logic.picked(0, true);
    logic.run(MenuCommand::ReturnToNormal);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"countdown", "upgrade 10.0.1.20 G via 10.0.1.1",
                                        "setip 00-0A-1B-00-00-01 via 10.0.1.1", "flush 10.0.0.20"}));
    logic.run(MenuCommand::Search);
    EXPECT_FALSE(on(Command::FileConnect));
}

} // namespace
} // namespace fw
