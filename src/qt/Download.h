// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/UpgradeDriver.h"
#include "guilink/EngineJob.h"
#include "guilink/EngineLink.h"
#include "qt/GuiPost.h"
#include "qt/Platform.h"
#include "upgrade/UpgradeDialog.h"
#include "upgrade/UploadCarryOver.h"

#include <QDialog>

class QLabel;
class QKeyEvent;
class QProgressBar;
class QPushButton;

namespace fw {

class PathBox;

// The upgrade dialog's Qt view over UpgradeDialog: it builds the controls, forwards their events and
// shows what the logic says.
class Download final : public QDialog, private UpgradeDialog::View {
    Q_OBJECT
public:
    Download(Platform& platform, EngineLink engine, const UpgradeDialog::Opening& opening,
             UploadCarryOver& carry, QWidget* parent = nullptr);
    ~Download() override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    void focusPathBox() override;
    void focusOk() override;
    std::optional<std::string> chooseImage() override;
    MessageAnswer showMessage(const Message& message) override;
    void showProgressView() override;
    void setBar(int value) override;
    void setPercent(const std::string& text) override;
    void closeDialog(bool accepted) override;

    Platform& platform_;
    QLabel* prompt_;      // Label2
    PathBox* pathBox_;    // Combo1
    QPushButton* ok_;     // Command1
    QPushButton* cancel_; // Command2
    QProgressBar* bar_;   // ProgressBar1
    QLabel* percent_;     // Label1
    QLabel* device_;      // the device the dialog works on
    QtUiQueue queue_{this};
    EngineJob<engine::UpgradeDriver> job_;
    UpgradeDialog logic_; // destroyed first: it stops the upgrade
};

} // namespace fw
