// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CommandEnabling.h"
#include "common/StringTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// What a menu entry does when chosen (the window's logic runs it).
enum class MenuCommand : std::uint8_t {
    None, // a separator
    Open,
    Save,
    SaveAs,
    Connect,
    Exit,
    Delete,
    DeleteAll,
    Search,
    Toolbar,
    SetIp,
    Upgrade,
    Diagnostic,
    ReturnToNormal,
    HelpTopics,
    About,
    Copy,    // the picked row, with the column titles
    CopyMac, // the picked row's MAC address
    CopyIp,  // the picked row's IP address
    ExportList,
    VendorColumn, // shows or hides the list's Vendor column
};

// Keys the main window takes as commands; each view maps its toolkit's keys to these. Enter,
// Delete, the context-menu key (or Shift+F10) and Ctrl+C act on the list's picked row and are taken
// only while the list has the focus; F5 anywhere in the window.
enum class WindowKey : std::uint8_t { Enter, Delete, F5, ContextMenu, Copy };

// The menu bar's five menus and the two popups over the device list, which never sit in the bar.
enum class MenuId : std::uint8_t { File, Edit, View, Admin, Help, RowPopup, SpacePopup };
inline constexpr std::size_t kMenuCount = 7;

struct MenuDef {
    MenuId id;
    const char* name;          // design name (object name)
    const char* designCaption; // before the string table's captions are put in
    std::optional<Str> caption;
    bool inBar;
};

struct MenuEntry {
    MenuId menu;
    const char* name; // design name (object name)
    const char* designCaption;
    std::optional<Str> caption; // the string table's caption, put in at load
    MenuCommand command;        // None: a separator
    bool shown;                 // hidden entries exist but are never shown
    std::optional<Command> enabling;
    bool checkable = false; // View -> Toolbar and Vendor Column
    bool checkedAtStart = false;
};

// Both windows build their menus from these tables, in this order.
inline constexpr std::array<MenuDef, kMenuCount> kMenus{{
    {MenuId::File, "file", "&File", Str::MenuFile, true},
    {MenuId::Edit, "edit", "&Edit", Str::MenuEdit, true},
    {MenuId::View, "view", "&View", Str::MenuView, true},
    {MenuId::Admin, "admin", "&Admin", Str::MenuAdmin, true},
    {MenuId::Help, "Mhelp", "&Help", Str::MenuHelp, true},
    {MenuId::RowPopup, "Mpop", "Mpop", std::nullopt, false},
    {MenuId::SpacePopup, "Mall", "Mall", std::nullopt, false},
}};

namespace menu_table {
using C = MenuCommand;
inline constexpr std::array kEntries{
    MenuEntry{MenuId::File, "mOpen", "&Open", std::nullopt, C::Open, false, Command::FileOpen},
    MenuEntry{MenuId::File, "save", "&Save", std::nullopt, C::Save, false, Command::FileSave},
    MenuEntry{MenuId::File, "saveas", "Save &As", std::nullopt, C::SaveAs, false, Command::FileSaveAs},
    MenuEntry{MenuId::File, "file1p", "", std::nullopt, C::None, false, std::nullopt},
    MenuEntry{MenuId::File, "connect", "&Connect", Str::Connect, C::Connect, true, Command::FileConnect},
    MenuEntry{MenuId::File, "exportlist", "E&xport List...", Str::ExportListEntry, C::ExportList, true,
              std::nullopt},
    MenuEntry{MenuId::File, "file2p", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::File, "mexit", "&Exit", Str::Exit, C::Exit, true, std::nullopt},
    MenuEntry{MenuId::Edit, "copy", "&Copy\tCtrl+C", Str::CopyEntry, C::Copy, true, Command::EditCopy},
    MenuEntry{MenuId::Edit, "cedit", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::Edit, "delete", "&Delete", Str::Delete, C::Delete, true, Command::EditDelete},
    MenuEntry{MenuId::Edit, "all", "Delete &All", Str::DeleteAll, C::DeleteAll, true, Command::EditDeleteAll},
    MenuEntry{MenuId::Edit, "dedit", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::Edit, "search", "&Search", Str::Search, C::Search, true, std::nullopt},
    MenuEntry{MenuId::View, "toolbar", "&Toolbar", Str::Toolbar, C::Toolbar, true, std::nullopt, true, true},
    MenuEntry{MenuId::View, "vendorcolumn", "&Vendor Column", Str::VendorColumn, C::VendorColumn, true,
              std::nullopt, true, false},
    MenuEntry{MenuId::Admin, "setip", "Set &IP Address...", Str::SetIpAddress, C::SetIp, true,
              Command::AdminSetIp},
    MenuEntry{MenuId::Admin, "donset", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::Admin, "MDiagnois", "&Diagnostic", std::nullopt, C::Diagnostic, false,
              Command::AdminDiagnostic},
    MenuEntry{MenuId::Admin, "MReturnToNormal", "&Return to &Normal mode", std::nullopt, C::ReturnToNormal,
              false, std::nullopt},
    MenuEntry{MenuId::Admin, "Mload", "&Upgrade FW", Str::UpgradeFw, C::Upgrade, true, Command::AdminUpgrade},
    MenuEntry{MenuId::Help, "helptopic", "Help &Topics...", std::nullopt, C::HelpTopics, false,
              Command::HelpTopics},
    MenuEntry{MenuId::Help, "Mabout", "&About", Str::AboutProduct, C::About, true, std::nullopt},
    MenuEntry{MenuId::RowPopup, "Msetip", "Set &IP Address", Str::SetIpAddress, C::SetIp, true,
              Command::PopupSetIp},
    MenuEntry{MenuId::RowPopup, "mDownload", "&Upgrade FW", Str::UpgradeFw, C::Upgrade, true,
              Command::PopupUpgrade},
    MenuEntry{MenuId::RowPopup, "Mreturn", "&Return to Normal Mode", std::nullopt, C::ReturnToNormal, false,
              Command::PopupReturnToNormal},
    MenuEntry{MenuId::RowPopup, "MDiag", "&Diagnostic", std::nullopt, C::Diagnostic, false,
              Command::PopupDiagnostic},
    MenuEntry{MenuId::RowPopup, "pop1", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::RowPopup, "Mdelete", "&Delete", Str::Delete, C::Delete, true, std::nullopt},
    MenuEntry{MenuId::RowPopup, "pop2", "", std::nullopt, C::None, true, std::nullopt},
    MenuEntry{MenuId::RowPopup, "Mcopy", "&Copy", Str::CopyPopupEntry, C::Copy, true, std::nullopt},
    MenuEntry{MenuId::RowPopup, "Mcopymac", "Copy &MAC Address", Str::CopyMacEntry, C::CopyMac, true,
              std::nullopt},
    MenuEntry{MenuId::RowPopup, "Mcopyip", "Copy IP &Address", Str::CopyIpEntry, C::CopyIp, true,
              std::nullopt},
    MenuEntry{MenuId::SpacePopup, "Mdelall", "Delete &All", Str::DeleteAll, C::DeleteAll, true, std::nullopt},
};
} // namespace menu_table
inline constexpr const auto& kMenuEntries = menu_table::kEntries;

// The position of the entry with this design name in kMenuEntries (its count when there is none).
constexpr std::size_t menuEntryIndex(std::string_view name) {
    std::size_t i = 0;
    while (i < kMenuEntries.size() && kMenuEntries[i].name != name) {
        ++i;
    }
    return i;
}

// The entry's caption as the window shows it after load: the string table's, else the design's.
std::string menuCaption(const MenuDef& menu);
std::string menuCaption(const MenuEntry& entry);
// The same with the design caption's access key marked (&), for a toolkit that underlines it:
// "Connect" with design "&Connect" becomes "&Connect"; a caption that marks its own stays.
std::string captionWithAccessKey(std::string_view caption, std::string_view designCaption);

} // namespace fw
