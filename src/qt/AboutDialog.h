// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace fw {

// frmAbout: the program's icon, name and version, the rights notice and one OK button that is both
// the default (Enter) and the cancel button (Escape). Built afresh at every opening.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // The product name, two blanks, then major.minor.revision in plain decimal.
    static QString versionText(int major, int minor, int revision);
};

} // namespace fw
