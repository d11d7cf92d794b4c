// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/PathBox.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace fw {

PathBox::PathBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Enter is taken here so that it runs the upgrade once, not also as the dialog's default button.
    lineEdit()->installEventFilter(this);
}

void PathBox::showPopup() {
    emit browseRequested();
}

bool PathBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit enterPressed();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace fw
