// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "guilink/EngineLink.h"
#include "guilink/GuiPost.h"
#include "platform/Platform.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/TftpUpload.h"
#include "upgrade/core/UploadCarryOver.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLabel;
class QKeyEvent;
class QProgressBar;
class QPushButton;

namespace fw {

class PathBox;

namespace engine {
class UpgradeDriver;
struct SocketError;
} // namespace engine

// The upgrade dialog: pick an image (selection view), then watch it go (progress view). OK checks
// the image and hands the upgrade (ARP flush, handshake, upload) to the engine's thread, whose
// progress comes back here; the dialog closes itself when the transfer ends. One upgrade per
// opening. Closing it at any point tells the engine to stop the timer and close both sockets.
// It works on the device picked when it opened, whatever the window lists meanwhile.
class Download final : public QDialog {
    Q_OBJECT
public:
    Download(Platform& platform, EngineLink engine, const ProcessValues& values, UploadCarryOver& carry,
             QWidget* parent = nullptr);
    ~Download() override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void browse();
    void startUpgrade();
    void imageChecked(const ImageDecision& decision, std::vector<std::uint8_t> image);
    void showProgressView();
    void startDriver(std::vector<std::uint8_t> image);
    void uploadEnded(const TftpUpload::Result& result, const std::optional<engine::SocketError>& portError);
    void stopDriver();

    enum class View { Selection, Checking, Progress, Closed };

    Platform& platform_;
    EngineLink engine_;
    // The picked device (address, kind) and our adapter, copied at opening: rows listed while the
    // dialog is open move the window's values to the device listed last.
    const ProcessValues values_;
    UploadCarryOver& carry_;
    View view_ = View::Selection;
    QLabel* prompt_;                                // Label2
    PathBox* pathBox_;                              // Combo1
    QPushButton* ok_;                               // Command1
    QPushButton* cancel_;                           // Command2
    QProgressBar* bar_;                             // ProgressBar1
    QLabel* percent_;                               // Label1
    std::shared_ptr<engine::UpgradeDriver> driver_; // used and finally destroyed on the engine's thread
    GuiPost back_{this};
};

} // namespace fw
