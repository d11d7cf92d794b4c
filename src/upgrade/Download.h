// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "platform/Platform.h"
#include "upgrade/UploadDisplay.h"
#include "upgrade/core/UploadCarryOver.h"

#include <QDialog>

class QLabel;
class QKeyEvent;
class QProgressBar;
class QPushButton;

namespace fw {

class PathBox;
class UploadDriver;

// The upgrade dialog: pick an image (selection view), then watch it go (progress view). OK checks
// the image, sends the handshake and starts the upload; the dialog closes itself when the transfer
// ends. One upgrade per opening. Closing it at any point stops the timer and closes both sockets.
class Download final : public QDialog, private UploadDisplay {
    Q_OBJECT
public:
    Download(Platform& platform, ProcessValues& values, UploadCarryOver& carry, QWidget* parent = nullptr);
    ~Download() override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void browse();
    void startUpgrade();
    bool checkImageAndConfirm(std::vector<std::uint8_t>& image);
    void showProgressView();

    // UploadDisplay
    void setProgress(int value) override;
    void setLabel(const std::string& text) override;
    void showResult(const TftpUpload::Result& result) override;
    void uploadEnded(TftpUpload::Outcome outcome) override;

    enum class View { Selection, Checking, Progress, Closed };

    Platform& platform_;
    ProcessValues& values_;
    View view_ = View::Selection;
    QLabel* prompt_;      // Label2
    PathBox* pathBox_;    // Combo1
    QPushButton* ok_;     // Command1
    QPushButton* cancel_; // Command2
    QProgressBar* bar_;   // ProgressBar1
    QLabel* percent_;     // Label1
    UploadDriver* driver_;
};

} // namespace fw
