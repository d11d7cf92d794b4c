// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's logic without a toolkit, as both windows drive it: what the Qt window's tests
// pin through Qt is not repeated here.
#include "app/MainWindowLogic.h"

#include "support/CoreFakes.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <array>
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
    void pick(int row) override { picked = row; }
    void showSortIndicator(int c, bool up) override {
        log.push_back("sorted by " + std::to_string(c) + (up ? " up" : " down"));
    }
    void showVendorColumn(bool shown) override { vendorColumn = shown; }
    void vendorsChanged() override { log.push_back("vendors"); }
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
    bool vendorColumn = true;
    std::vector<std::string> log;
    CommandEnabling enabling;
};

// The export's Save dialog, which the operator cancels.
struct ExportView final : ListExport::View {
    explicit ExportView(std::vector<std::string>& log) : log(log) {}
    std::optional<std::string> chooseExportPath() override { return log.push_back("export"), std::nullopt; }
    Status<std::error_code> replaceFile(const std::string&, const std::string&) override { return Done{}; }
    void showMessage(const Message&) override {}
    std::vector<std::string>& log;
};

// A loaded main window over fake views, a fake port and a list of rows.
struct MainWindowLogicTest : ::testing::Test {
    MainWindowLogicTest() { logic.load(); }
    test::FakeJob<SearchJob> port;
    test::ListRows rows;
    View view;
    ExportView exportView{view.log};
    ListExport listExport{exportView};
    MainWindowLogic logic{view, rows, port, view, listExport};
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

// The rows are told apart by their ESS-ID, r0 to r4 in arrival order.
DeviceRow sortRow(const char* tag, const char* name, const char* ip, std::uint8_t channel, MacAddress mac) {
    return {name, *Ipv4::parse(ip), tag, channel, false, mac, DeviceKind::Bridge, *Ipv4::parse("10.77.0.1")};
}

std::string tags(const test::ListRows& rows) {
    std::string out;
    for (const DeviceRow& row : rows.rows) {
        out += (out.empty() ? "" : " ") + row.essId;
    }
    return out;
}

TEST_F(MainWindowLogicTest, HeaderClicksSortByTheColumnsValuesWithTiesInArrivalOrder) {
    logic.firstSearchDue();
    port.handlers.events({sortRow("r0", "beta", "10.77.1.10", 11, {0, 0, 0, 0, 0, 2}),
                          sortRow("r1", "Alpha", "0.0.0.0", 2, {0, 0, 0, 0, 0, 0x10}),
                          sortRow("r2", "alpha", "10.77.1.9", 2, {0, 0, 0, 0, 0, 1}),
                          sortRow("r3", "Gamma", "10.77.1.10", 1, {1, 0, 0, 0, 0, 0})});
    EXPECT_EQ(tags(rows), "r0 r1 r2 r3") << "arrival order until a header is clicked";
    view.log.clear();
    const struct {
        int column;
        const char* order;
        const char* indicator;
    } clicks[]{
        {1, "r2 r0 r3 r1", "sorted by 1 up"},   // .9 before .10, no address last
        {1, "r0 r3 r2 r1", "sorted by 1 down"}, // ties stay in arrival order, no address still last
        {5, "r2 r0 r1 r3", "sorted by 5 up"},   // by the bytes
        {3, "r3 r1 r2 r0", "sorted by 3 up"},   // 2 before 11
        {0, "r1 r2 r0 r3", "sorted by 0 up"},   // Alpha = alpha, before beta and Gamma
        {6, "r1 r2 r0 r3", nullptr},            // the hidden kind column
    };
    for (const auto& click : clicks) {
        logic.headerClicked(click.column);
        EXPECT_EQ(tags(rows), click.order) << "column " << click.column;
        EXPECT_EQ(view.log,
                  click.indicator ? std::vector<std::string>{click.indicator} : std::vector<std::string>{});
        view.log.clear();
    }
}

// Rows arriving into a sorted list take their places; the operator's pick follows its device
// through re-sorts and arrivals, and a command acts on it.
TEST_F(MainWindowLogicTest, ThePickFollowsItsDeviceAcrossResortsAndArrivals) {
    logic.firstSearchDue();
    port.handlers.events({sortRow("r0", "a", "10.77.1.20", 1, {}), sortRow("r1", "b", "10.77.1.10", 1, {})});
    logic.headerClicked(1);
    view.picked = 1;
    logic.picked(1, true); // r0, 10.77.1.20
    logic.headerClicked(1);
    EXPECT_EQ(view.picked, 0);
    logic.headerClicked(1);
    port.handlers.events({sortRow("r2", "c", "10.77.1.9", 1, {}), sortRow("r3", "d", "10.77.1.30", 1, {}),
                          sortRow("r4", "e", "10.77.1.15", 1, {})});
    EXPECT_EQ(tags(rows), "r2 r1 r4 r0 r3");
    EXPECT_EQ(view.picked, 3);
    EXPECT_EQ(logic.selectedDeviceIp(), Ipv4::parse("10.77.1.15")) << "the row listed last";
    view.log.clear();
    logic.run(MenuCommand::Connect);
    EXPECT_EQ(view.log, (std::vector<std::string>{"flush 10.77.1.20", "open http://10.77.1.20"}));
    logic.run(MenuCommand::Delete);
    EXPECT_EQ(tags(rows), "r2 r1 r4 r3");
    EXPECT_EQ(view.picked, -1) << "no neighbour is picked after a delete";
}

// The Vendor column is hidden at start and toggled from View; the vendors fill in when the table
// comes, sort like text, follow the visible columns into a copy, and name the MAC cell's tooltip.
TEST_F(MainWindowLogicTest, TheVendorColumnAndTooltipNameTheVendorOnceTheTableComes) {
    EXPECT_FALSE(view.vendorColumn || logic.vendorColumnShown()) << "hidden at start";
    logic.firstSearchDue();
    port.handlers.events({sortRow("r0", "a", "10.77.1.1", 1, {0x00, 0x0A, 0x1B, 1, 2, 3}),
                          sortRow("r1", "b", "10.77.1.2", 1, {0x00, 0x99, 0x99, 1, 2, 3}),
                          sortRow("r2", "c", "10.77.1.3", 1, {0x02, 0x0A, 0x1B, 1, 2, 3})});
    logic.headerClicked(MainWindowLogic::kVendorColumn);
    EXPECT_EQ(view.log.back(), "countdown") << "a hidden column does not sort";
    logic.run(MenuCommand::VendorColumn);
    EXPECT_TRUE(view.vendorColumn && logic.vendorColumnShown());
    view.picked = 0;
    logic.headerClicked(MainWindowLogic::kVendorColumn);
    EXPECT_EQ(logic.toolTip(0, MainWindowLogic::kMacColumn), "") << "no table yet";
    EXPECT_EQ(logic.cellText(0, MainWindowLogic::kVendorColumn), "");

    logic.run(MenuCommand::ExportList);
    EXPECT_NE(view.log.back(), "export") << "the export waits for the table";

    const std::array files{std::string_view("MA-L,000A1B,Stream Labs,\n")};
    logic.vendorsLoaded(VendorTable::fromRegistries(files));
    EXPECT_EQ(view.log.back(), "export");
    EXPECT_EQ(view.log.end()[-2], "vendors");
    EXPECT_EQ(tags(rows), "r1 r2 r0") << "sorted by vendor once known: unknown, locally administered, Stream";
    EXPECT_EQ(view.picked, 2) << "the pick follows r0";
    const int mac = MainWindowLogic::kMacColumn;
    EXPECT_EQ(logic.toolTip(2, mac), "Stream Labs");
    EXPECT_EQ(logic.toolTip(0, mac), "Vendor unknown");
    EXPECT_EQ(logic.toolTip(1, mac), "locally administered");
    EXPECT_EQ(logic.toolTip(2, 0), "") << "only the MAC cell";
    EXPECT_EQ(logic.cellText(1, MainWindowLogic::kVendorColumn), "locally administered");
    view.log.clear();
    logic.run(MenuCommand::Copy);
    EXPECT_EQ(view.log.back(),
              "copy Wireless Device\tIP Address\tESS-ID\tChannel No\tWEP\tMac Address\tVendor\n"
              "a\t10.77.1.1\tr0\t1\tDisabled\t00-0A-1B-01-02-03\tStream Labs\n");

    logic.run(MenuCommand::VendorColumn);
    EXPECT_FALSE(view.vendorColumn);
    EXPECT_EQ(tags(rows), "r0 r1 r2") << "hidden while it sorted the list: arrival order again";
    EXPECT_EQ(view.picked, 0);
    EXPECT_EQ(view.log.at(1), "sorted by -1 up");
    logic.run(MenuCommand::Copy);
    EXPECT_EQ(view.log.back().find("Vendor"), std::string::npos) << "the copy follows the visible columns";
}
} // namespace
} // namespace fw
