// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QMenu;

namespace fw {

// The main window's menu bar and its two popups over the device list, with their design names as
// object names and their design captions; applyCaptions() puts in the string-table captions.
// Hidden entries exist but are never shown. No entry has a shortcut key.
class MainMenus final : public QObject {
    Q_OBJECT
public:
    explicit MainMenus(QMainWindow& window);

    void applyCaptions();

    QMenu* file = nullptr;
    QAction* mOpen = nullptr;
    QAction* save = nullptr;
    QAction* saveas = nullptr;
    QAction* file1p = nullptr;
    QAction* connect = nullptr;
    QAction* file2p = nullptr;
    QAction* mexit = nullptr;

    QMenu* edit = nullptr;
    QAction* deleteRow = nullptr; // design name "delete"
    QAction* all = nullptr;
    QAction* dedit = nullptr;
    QAction* search = nullptr;

    QMenu* view = nullptr;
    QAction* toolbar = nullptr;

    QMenu* admin = nullptr;
    QAction* setip = nullptr;
    QAction* donset = nullptr;
    QAction* mDiagnois = nullptr;
    QAction* mReturnToNormal = nullptr;
    QAction* mload = nullptr;

    QMenu* mhelp = nullptr;
    QAction* helptopic = nullptr;
    QAction* mabout = nullptr;

    QMenu* mpop = nullptr; // row popup
    QAction* msetip = nullptr;
    QAction* mDownload = nullptr;
    QAction* mreturn = nullptr;
    QAction* mDiag = nullptr;
    QAction* pop1 = nullptr;
    QAction* mdelete = nullptr;

    QMenu* mall = nullptr; // space popup
    QAction* mdelall = nullptr;
};

} // namespace fw
