// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/Download.h"

#include "common/StringTable.h"
#include "common/Twips.h"
#include "platform/UiText.h"
#include "platform/ImageFileReader.h"
#include "upgrade/PathBox.h"
#include "upgrade/UploadDriver.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/TftpPackets.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace fw {
namespace {

QRect twips(double dpi, int left, int top, int width, int height) {
    return {twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
            twipsToPixels(height, dpi)};
}

} // namespace

Download::Download(Platform& platform, ProcessValues& values, UploadCarryOver& carry, QWidget* parent)
    : QDialog(parent), platform_(platform), values_(values), prompt_(new QLabel(this)),
      pathBox_(new PathBox(this)), ok_(new QPushButton(this)), cancel_(new QPushButton(this)),
      bar_(new QProgressBar(this)), percent_(new QLabel(this)),
      driver_(new UploadDriver(platform.makeEndpoint, platform.shell, carry, *this, this)) {
    setObjectName("Download");
    prompt_->setObjectName("Label2");
    pathBox_->setObjectName("Combo1");
    ok_->setObjectName("Command1");
    cancel_->setObjectName("Command2");
    bar_->setObjectName("ProgressBar1");
    percent_->setObjectName("Label1");

    QFont f(QStringLiteral("Lucida Sans Unicode"));
    f.setPointSizeF(8.25);
    setFont(f);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const double dpi = logicalDpiX();
    setFixedSize(twips(dpi, 0, 0, 4575, 1905).size());

    prompt_->setGeometry(twips(dpi, 240, 120, 2655, 255));
    pathBox_->setGeometry(twips(dpi, 120, 600, 4335, 285));
    bar_->setGeometry(twips(dpi, 120, 480, 4335, 495));
    ok_->setGeometry(twips(dpi, 480, 1200, 1335, 375));
    percent_->setGeometry(twips(dpi, 1920, 1080, 615, 255));
    cancel_->setGeometry(twips(dpi, 2640, 1200, 1335, 375));

    setWindowTitle(uiText(Str::Downloading));
    prompt_->setText(uiText(Str::DownloadFile));
    ok_->setText(uiText(Str::Ok));
    cancel_->setText(uiText(Str::Cancel));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->hide();
    percent_->hide();

    // OK, Cancel, then the path box: OK holds the focus when the dialog opens.
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, pathBox_);
    ok_->setDefault(true);
    ok_->setFocus();

    connect(ok_, &QPushButton::clicked, this, &Download::startUpgrade);
    connect(pathBox_, &PathBox::enterPressed, this, &Download::startUpgrade);
    connect(cancel_, &QPushButton::clicked, this, &Download::reject);
    connect(pathBox_, &PathBox::browseRequested, this, &Download::browse);
}

Download::~Download() {
    driver_->stop();
}

void Download::done(int result) {
    if (view_ != View::Closed) {
        view_ = View::Closed;
        driver_->stop();
    }
    QDialog::done(result);
}

void Download::keyPressEvent(QKeyEvent* event) {
    // A stray Escape must not abort a flash half-way; Cancel and the close button still stop at once.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Download::browse() {
    if (view_ != View::Selection) {
        return;
    }
    ok_->setFocus();
    const QPointer<Download> alive(this);
    const auto chosen = platform_.files.chooseImage(this);
    if (!alive || view_ != View::Selection || !chosen) {
        return; // cancelled: the path box keeps its text
    }
    pathBox_->setEditText(QString::fromStdString(*chosen));
}

void Download::startUpgrade() {
    if (view_ != View::Selection) {
        return; // one upgrade per opening
    }
    view_ = View::Checking;
    const QPointer<Download> alive(this);
    std::vector<std::uint8_t> image;
    const bool accepted = checkImageAndConfirm(image);
    if (!alive || view_ == View::Closed) {
        return; // closed while a message box was open
    }
    if (!accepted) {
        view_ = View::Selection;
        return;
    }
    showProgressView();
    driver_->begin(values_.selectedDeviceIp, values_.localAdapterIp, std::move(image));
}

bool Download::checkImageAndConfirm(std::vector<std::uint8_t>& image) {
    const std::string path = pathBox_->currentText().toStdString();
    ImageFile file;
    if (!path.empty()) {
        file = readImageFile(path, kTftpMaxImageBytes);
    }
    const ImageDecision decision = checkImage(path, file, values_.selectedDeviceKind);
    if (decision.kind != ImageDecision::Kind::Accept) {
        const QPointer<Download> alive(this);
        const MessageAnswer answer = platform_.messages.show(this, decision.message);
        if (!alive || view_ == View::Closed) {
            return false;
        }
        if (decision.focusPathBox) {
            pathBox_->setFocus();
        }
        if (decision.kind == ImageDecision::Kind::Refuse || answer == MessageAnswer::Cancel) {
            return false;
        }
    }
    image = std::move(file.bytes);
    return true;
}

void Download::showProgressView() {
    view_ = View::Progress;
    pathBox_->hide();
    ok_->hide();
    bar_->show();
    percent_->show();
    setWindowTitle(uiText(Str::Downloading));
    bar_->setValue(0);
    percent_->setText(QStringLiteral("0%"));
    cancel_->setFocus();
}

void Download::setProgress(int value) {
    bar_->setValue(value);
}

void Download::setLabel(const std::string& label) {
    percent_->setText(QString::fromStdString(label));
}

void Download::showResult(const TftpUpload::Result& result) {
    auto message = uploadResultMessage(result);
    if (result.outcome == TftpUpload::Outcome::PortUnavailable) {
        // Not "Time Out": nothing was sent, and the user can free the port and try again.
        const std::error_code error = driver_->transferPortError();
        const bool taken = error == std::errc::address_in_use;
        message = Message{std::string(loadResString(taken ? Str::UploadPortInUse : Str::UploadPortUnusable)) +
                              " " + toText(values_.localAdapterIp) + (taken ? "." : ": " + error.message()),
                          std::string(loadResString(Str::Product)), MessageIcon::Exclamation};
    }
    if (message && view_ != View::Closed) {
        platform_.messages.show(this, *message);
    }
}

void Download::uploadEnded(TftpUpload::Outcome outcome) {
    done(outcome == TftpUpload::Outcome::Completed ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace fw
