// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/QtMessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace fw {
namespace {

QMessageBox::Icon iconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageAnswer QtMessageBoxes::show(QWidget* parent, const Message& message) {
    QMessageBox box(parent);
    // A box without a title of its own is captioned with the application's.
    box.setWindowTitle(message.title.empty() ? QGuiApplication::applicationDisplayName()
                                             : QString::fromStdString(message.title));
    box.setText(QString::fromStdString(message.text));
    box.setIcon(iconOf(message.icon));
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = nullptr;
    if (message.buttons == MessageButtons::OkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
        box.setDefaultButton(message.cancelIsDefault ? cancel : ok);
    } else {
        box.setEscapeButton(ok);
        box.setDefaultButton(ok);
    }
    box.exec();
    if (cancel != nullptr && box.clickedButton() != ok) {
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Ok;
}

} // namespace fw
