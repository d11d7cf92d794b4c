#include "app/core/CommandEnabling.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace fw {
namespace {

// The enabling rules written out as a grid, one line per command, one cell per event:
// "on", "off", or "." for unchanged. Events: start-up, search starts, reply adds a row, left press on
// a row, right release on a row, right release on space, Admin opened with no pick, list emptied.
struct Line {
    Command command;
    const char* name;
    std::vector<std::string> cells;
};

const std::vector<EnablingEvent> kEvents{
    EnablingEvent::StartUp,           EnablingEvent::SearchStarts,      EnablingEvent::ReplyAddsRow,
    EnablingEvent::LeftPressOnRow,    EnablingEvent::RightReleaseOnRow, EnablingEvent::RightReleaseOnSpace,
    EnablingEvent::AdminOpenedNoPick, EnablingEvent::ListEmptied,
};

const std::vector<Line> kRules{
    {Command::DeleteButton, "Delete button", {"off", ".", "on", ".", ".", ".", ".", "off"}},
    {Command::EditDelete, "Edit -> Delete", {"off", ".", "on", ".", ".", ".", ".", "off"}},
    {Command::EditDeleteAll, "Edit -> Delete All", {"off", ".", "on", ".", ".", ".", ".", "off"}},
    {Command::FileConnect, "File -> Connect", {"off", "off", "on", "on", "on", ".", ".", "off"}},
    {Command::AdminSetIp, "Admin -> Set IP", {"on", ".", "on", "on", "on", ".", "off", "."}},
    {Command::AdminUpgrade, "Admin -> Upgrade FW", {"off", ".", "on", "on", "on", "off", "off", "."}},
    {Command::PopupSetIp, "popup -> Set IP", {"off", ".", ".", ".", "on", ".", ".", "."}},
    {Command::PopupUpgrade, "popup -> Upgrade FW", {"off", ".", ".", ".", "on", "off", ".", "."}},
    {Command::SearchButton, "Search button", {"on", ".", ".", ".", ".", ".", ".", "."}},
    {Command::AdminDiagnostic, "Admin -> Diagnostic", {"on", ".", ".", ".", "on", ".", ".", "."}},
    {Command::PopupDiagnostic, "popup -> Diagnostic", {"on", ".", ".", ".", "on", ".", ".", "."}},
    {Command::PopupReturnToNormal, "popup -> Return", {"on", ".", ".", ".", "off", ".", ".", "."}},
    {Command::FileOpen, "File -> Open", {"off", ".", ".", ".", ".", ".", ".", "."}},
    {Command::FileSave, "File -> Save", {"off", ".", ".", ".", ".", ".", ".", "."}},
    {Command::FileSaveAs, "File -> Save As", {"off", ".", ".", ".", ".", ".", ".", "."}},
    {Command::HelpTopics, "Help -> Help Topics", {"off", ".", ".", ".", ".", ".", ".", "."}},
};

Change cell(const std::string& text) {
    static const std::map<std::string, Change> kCells{
        {"on", Change::On}, {"off", Change::Off}, {".", Change::Keep}};
    return kCells.at(text);
}

TEST(CommandEnabling, EveryCellMatchesTheRules) {
    ASSERT_EQ(kRules.size(), kCommandCount);
    for (const Line& line : kRules) {
        ASSERT_EQ(line.cells.size(), kEvents.size());
        for (std::size_t e = 0; e < kEvents.size(); ++e) {
            EXPECT_EQ(enablingChange(kEvents[e], line.command), cell(line.cells[e]))
                << line.name << ", event column " << e + 1;
        }
    }
}

// The Search button's own locking: it and the Delete button go off before its search, and only the
// Search button comes back after it; nothing else moves.
TEST(CommandEnabling, SearchButtonLockingTouchesOnlyTheTwoButtons) {
    for (const Line& line : kRules) {
        const Change pressed = enablingChange(EnablingEvent::SearchButtonPressed, line.command);
        const Change done = enablingChange(EnablingEvent::SearchButtonDone, line.command);
        const bool isDelete = line.command == Command::DeleteButton;
        const bool isSearch = line.command == Command::SearchButton;
        EXPECT_EQ(pressed, (isDelete || isSearch) ? Change::Off : Change::Keep) << line.name;
        EXPECT_EQ(done, isSearch ? Change::On : Change::Keep) << line.name;
    }
}

} // namespace
} // namespace fw
