// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/QtFileChooser.h"

#include "qt/UiText.h"

#include <QFileDialog>
#include <QFileInfo>

namespace fw {

std::optional<std::string> QtFileChooser::chooseImage(QWidget* parent) {
    const QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromLatin1(kImageFilter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

// A name typed without an extension gets the chosen filter's, so that the format is the one the
// operator picked.
std::optional<std::string> QtFileChooser::chooseExportPath(QWidget* parent) {
    const QString csv = QStringLiteral("CSV (*.csv)");
    const QString json = QStringLiteral("JSON (*.json)");
    QString filter = csv;
    QString path = QFileDialog::getSaveFileName(parent, uiText(Str::ExportListTitle),
                                                QStringLiteral("devices.csv"), csv + ";;" + json, &filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += filter == json ? QStringLiteral(".json") : QStringLiteral(".csv");
    }
    return path.toStdString();
}

} // namespace fw
