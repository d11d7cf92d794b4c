// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MenuTable.h"

#include <QTreeView>

namespace fw {

// The device list (ListView1): report view, one row per device, full-row single selection.
// A mouse press with any button picks the row under the pointer or, over empty space, no row;
// dragging does not move the pick. Keyboard navigation (arrows, Home, End, Page Up/Down) moves the
// selection without a pick; Enter, Delete, Ctrl+C and the context-menu key are the window's to run.
class DeviceListView final : public QTreeView {
    Q_OBJECT
public:
    explicit DeviceListView(QWidget* parent = nullptr);

    // The picked (selected) row, or -1.
    int pickedRow() const;
    // No row picked and no current row, so that removing rows cannot make Qt pick a neighbour.
    void unpick();
    void pick(int row); // -1 picks none

signals:
    void picked(int row, Qt::MouseButton button); // row is -1 over empty space
    void rightReleased(const QPoint& globalPos);
    void leftDoubleClicked();
    void commandKey(WindowKey key); // Enter, Delete, Ctrl+C, or the context-menu key (Shift+F10)

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void pickAt(const QPoint& pos, Qt::MouseButton button);
};

} // namespace fw
