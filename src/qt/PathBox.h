// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

namespace fw {

// The image path box: editable, no list and no history. Its drop-down button asks for the file
// dialog instead of a list, and Enter in it asks for the upgrade as OK does.
class PathBox final : public QComboBox {
    Q_OBJECT
public:
    explicit PathBox(QWidget* parent = nullptr);
    void showPopup() override;

signals:
    void browseRequested();
    void enterPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace fw
