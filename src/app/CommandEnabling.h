// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fw {

// The main window's commands whose enabled state moves with the device list. Commands that are always
// enabled (Edit -> Search, View -> Toolbar, Help -> About, File -> Exit, the two Delete entries of the
// popups, the row popup's Copy entries, Admin -> Return to Normal mode) are not listed.
enum class Command : std::uint8_t {
    DeleteButton,        // Command3
    EditDelete,          // delete
    EditDeleteAll,       // all
    FileConnect,         // connect
    AdminSetIp,          // setip
    AdminUpgrade,        // Mload
    PopupSetIp,          // Msetip
    PopupUpgrade,        // mDownload
    SearchButton,        // Command4
    AdminDiagnostic,     // MDiagnois (hidden)
    PopupDiagnostic,     // MDiag (hidden)
    PopupReturnToNormal, // Mreturn (hidden)
    FileOpen,            // mOpen (hidden)
    FileSave,            // save (hidden)
    FileSaveAs,          // saveas (hidden)
    HelpTopics,          // helptopic (hidden)
    EditCopy,            // copy: on while a row is picked
};
inline constexpr std::size_t kCommandCount = 17;

enum class EnablingEvent : std::uint8_t {
    StartUp,
    SearchStarts,
    ReplyAddsRow,
    LeftPressOnRow,
    RightReleaseOnRow,
    RightReleaseOnSpace,
    AdminOpenedNoPick,
    ListEmptied,         // Delete removed the last row, or Delete All
    SearchButtonPressed, // the Search button locks itself and the Delete button around its search
    SearchButtonDone,
};
inline constexpr std::size_t kEnablingEventCount = 10;

enum class Change : std::uint8_t { Keep, On, Off };

// What one event does to one command.
Change enablingChange(EnablingEvent event, Command command) noexcept;

// The enabled state of every listed command; the window renders it after each event.
class CommandEnabling {
public:
    // Before start-up every command is enabled, as designed, except Help -> Help Topics... and the two
    // row-popup entries, which are disabled at design.
    CommandEnabling() noexcept;

    void apply(EnablingEvent event) noexcept;
    // A command whose state follows a fact rather than the events (Edit -> Copy, the pick).
    void set(Command command, bool on) noexcept { state_[static_cast<std::size_t>(command)] = on; }
    bool enabled(Command command) const noexcept { return state_[static_cast<std::size_t>(command)]; }

private:
    std::array<bool, kCommandCount> state_{};
};

} // namespace fw
