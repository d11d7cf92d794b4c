// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/QtFileChooser.h"

#include <QFileDialog>

namespace fw {

std::optional<std::string> QtFileChooser::chooseImage(QWidget* parent) {
    const QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromLatin1(kImageFilter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

} // namespace fw
