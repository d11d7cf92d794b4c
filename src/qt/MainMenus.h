// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MenuTable.h"

#include <QObject>

#include <array>

class QAction;
class QMainWindow;
class QMenu;

namespace fw {

// The main window's menu bar and its two popups over the device list, built from the menu table
// with their design names as object names and their design captions; applyCaptions() puts in the
// string-table captions. Hidden entries exist but are never shown. No entry has a shortcut key.
class MainMenus final : public QObject {
    Q_OBJECT
public:
    explicit MainMenus(QMainWindow& window);

    void applyCaptions();
    void render(const CommandEnabling& enabling);

    QMenu* menu(MenuId id) const { return menus_[static_cast<std::size_t>(id)]; }
    QAction* action(std::size_t entry) const { return actions_.at(entry); }
    QAction* action(std::string_view name) const { return actions_.at(menuEntryIndex(name)); }

private:
    std::array<QMenu*, kMenuCount> menus_{};
    std::array<QAction*, kMenuEntries.size()> actions_{};
};

} // namespace fw
