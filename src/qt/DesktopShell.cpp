// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace fw {

void DesktopShell::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

} // namespace fw
