// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DeviceListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

namespace fw {

DeviceListView::DeviceListView(QWidget* parent) : QTreeView(parent) {
    setObjectName("ListView1");
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    // A click sorts through the window's logic, which also sets the indicator; none shows at first.
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    // Right-button events reach mousePressEvent/mouseReleaseEvent, which run the popups; the context
    // menu event is taken only from the keyboard.
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

int DeviceListView::pickedRow() const {
    if (selectionModel() == nullptr) {
        return -1;
    }
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void DeviceListView::unpick() {
    if (selectionModel() != nullptr) {
        selectionModel()->clear();
    }
}

void DeviceListView::pick(int row) {
    if (selectionModel() == nullptr || model() == nullptr) {
        return;
    }
    if (row < 0) {
        unpick();
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void DeviceListView::pickAt(const QPoint& pos, Qt::MouseButton button) {
    setFocus(Qt::MouseFocusReason);
    const QModelIndex hit = indexAt(pos);
    if (selectionModel() == nullptr) {
        return;
    }
    if (hit.isValid()) {
        selectionModel()->setCurrentIndex(hit,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selectionModel()->clearSelection();
    }
    emit picked(hit.isValid() ? hit.row() : -1, button);
}

void DeviceListView::mousePressEvent(QMouseEvent* event) {
    pickAt(event->position().toPoint(), event->button());
    event->accept();
}

void DeviceListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightReleased(event->globalPosition().toPoint());
    }
    event->accept();
}

void DeviceListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click picks like any press.
    pickAt(event->position().toPoint(), event->button());
    if (event->button() == Qt::LeftButton) {
        emit leftDoubleClicked();
    }
    event->accept();
}

void DeviceListView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void DeviceListView::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit commandKey(WindowKey::Enter);
    } else if (plain && event->key() == Qt::Key_Delete) {
        emit commandKey(WindowKey::Delete);
    } else if (event->matches(QKeySequence::Copy)) { // Ctrl+C, and Ctrl+Insert where that copies
        emit commandKey(WindowKey::Copy);
    } else {
        QTreeView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DeviceListView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        emit commandKey(WindowKey::ContextMenu);
    }
    event->accept();
}

} // namespace fw
