// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/MainMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace fw {
namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MainMenus::MainMenus(QMainWindow& window) : QObject(&window) {
    setObjectName("MainMenus");
    for (const MenuDef& def : kMenus) {
        QMenu* menu = nullptr;
        if (def.inBar) {
            menu = window.menuBar()->addMenu(def.designCaption);
            menu->menuAction()->setObjectName(def.name);
        } else { // the popups are menus of their own that never sit in the menu bar
            menu = new QMenu(def.name, &window);
        }
        menu->setObjectName(def.name);
        menus_[static_cast<std::size_t>(def.id)] = menu;
    }
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        const MenuEntry& entry = kMenuEntries[i];
        QMenu* in = menu(entry.menu);
        QAction* action =
            entry.command == MenuCommand::None ? in->addSeparator() : in->addAction(entry.designCaption);
        action->setObjectName(entry.name);
        action->setVisible(entry.shown);
        if (entry.checkable) {
            action->setCheckable(true);
            action->setChecked(entry.checkedAtStart);
        }
        actions_[i] = action;
    }
}

void MainMenus::applyCaptions() {
    for (const MenuDef& def : kMenus) {
        if (def.caption) {
            menu(def.id)->setTitle(qText(menuCaption(def)));
        }
    }
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        if (kMenuEntries[i].caption) {
            actions_[i]->setText(qText(menuCaption(kMenuEntries[i])));
        }
    }
}

void MainMenus::render(const CommandEnabling& enabling) {
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        if (const auto command = kMenuEntries[i].enabling) {
            actions_[i]->setEnabled(enabling.enabled(*command));
        }
    }
}

} // namespace fw
