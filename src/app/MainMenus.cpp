// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainMenus.h"

#include "platform/UiText.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace fw {
namespace {

QMenu* addMenu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, bool shown = true) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setVisible(shown);
    return action;
}

QAction* addSeparator(QMenu* menu, const char* name, bool shown = true) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    action->setVisible(shown);
    return action;
}

} // namespace

MainMenus::MainMenus(QMainWindow& window) : QObject(&window) {
    setObjectName("MainMenus");
    QMenuBar* bar = window.menuBar();

    file = addMenu(bar, "file", "&File");
    mOpen = addItem(file, "mOpen", "&Open", false);
    save = addItem(file, "save", "&Save", false);
    saveas = addItem(file, "saveas", "Save &As", false);
    file1p = addSeparator(file, "file1p", false);
    connect = addItem(file, "connect", "&Connect");
    file2p = addSeparator(file, "file2p");
    mexit = addItem(file, "mexit", "&Exit");

    edit = addMenu(bar, "edit", "&Edit");
    deleteRow = addItem(edit, "delete", "&Delete");
    all = addItem(edit, "all", "Delete &All");
    dedit = addSeparator(edit, "dedit");
    search = addItem(edit, "search", "&Search");

    view = addMenu(bar, "view", "&View");
    toolbar = addItem(view, "toolbar", "&Toolbar");
    toolbar->setCheckable(true);
    toolbar->setChecked(true);

    admin = addMenu(bar, "admin", "&Admin");
    setip = addItem(admin, "setip", "Set IP Address...");
    donset = addSeparator(admin, "donset");
    mDiagnois = addItem(admin, "MDiagnois", "&Diagnostic", false);
    mReturnToNormal = addItem(admin, "MReturnToNormal", "&Return to &Normal mode", false);
    mload = addItem(admin, "Mload", "Upgrade FW");

    mhelp = addMenu(bar, "Mhelp", "&Help");
    helptopic = addItem(mhelp, "helptopic", "Help &Topics...", false);
    helptopic->setEnabled(false);
    mabout = addItem(mhelp, "Mabout", "&About");

    // The popups are menus of their own that never sit in the menu bar.
    mpop = new QMenu("Mpop", &window);
    mpop->setObjectName("Mpop");
    msetip = addItem(mpop, "Msetip", "Set &IP Address");
    msetip->setEnabled(false);
    mDownload = addItem(mpop, "mDownload", "Upgrade FW");
    mDownload->setEnabled(false);
    mreturn = addItem(mpop, "Mreturn", "&Return to Normal Mode", false);
    mDiag = addItem(mpop, "MDiag", "&Diagnostic", false);
    pop1 = addSeparator(mpop, "pop1");
    mdelete = addItem(mpop, "Mdelete", "&Delete");

    mall = new QMenu("Mall", &window);
    mall->setObjectName("Mall");
    mdelall = addItem(mall, "Mdelall", "Delete &All");
}

void MainMenus::applyCaptions() {
    file->setTitle(uiText(Str::MenuFile));
    edit->setTitle(uiText(Str::MenuEdit));
    view->setTitle(uiText(Str::MenuView));
    admin->setTitle(uiText(Str::MenuAdmin));
    mhelp->setTitle(uiText(Str::MenuHelp));
    connect->setText(uiText(Str::Connect));
    mexit->setText(uiText(Str::Exit));
    deleteRow->setText(uiText(Str::Delete));
    mdelete->setText(uiText(Str::Delete));
    all->setText(uiText(Str::DeleteAll));
    mdelall->setText(uiText(Str::DeleteAll));
    search->setText(uiText(Str::Search));
    toolbar->setText(uiText(Str::Toolbar));
    setip->setText(uiText(Str::SetIpAddress));
    msetip->setText(uiText(Str::SetIpAddress));
    mload->setText(uiText(Str::UpgradeFw));
    mDownload->setText(uiText(Str::UpgradeFw));
    mabout->setText(uiText(Str::AboutProduct));
}

} // namespace fw
