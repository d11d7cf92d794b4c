// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Download.h"

#include "common/Message.h"
#include "common/StringTable.h"
#include "common/Twips.h"
#include "qt/PathBox.h"
#include "qt/UiText.h"
#include "upgrade/UpgradeLayout.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSessionManager>

namespace fw {
namespace {

QRect twips(double dpi, const UpgradeLayout::Rect& r) {
    return {twipsToPixels(r.left, dpi), twipsToPixels(r.top, dpi), twipsToPixels(r.width, dpi),
            twipsToPixels(r.height, dpi)};
}

} // namespace

Download::Download(Platform& platform, EngineLink engine, const UpgradeDialog::Opening& opening,
                   UploadCarryOver& carry, QWidget* parent)
    : QDialog(parent), platform_(platform), prompt_(new QLabel(this)), pathBox_(new PathBox(this)),
      ok_(new QPushButton(this)), cancel_(new QPushButton(this)), bar_(new QProgressBar(this)),
      percent_(new QLabel(this)), device_(new QLabel(this)), job_(engine, queue_, platform.host, carry),
      logic_(*this, job_, opening) {
    setObjectName("Download");
    prompt_->setObjectName("Label2");
    pathBox_->setObjectName("Combo1");
    ok_->setObjectName("Command1");
    cancel_->setObjectName("Command2");
    bar_->setObjectName("ProgressBar1");
    percent_->setObjectName("Label1");
    device_->setObjectName("DeviceLine");

    QFont f(QStringLiteral("Lucida Sans Unicode"));
    f.setPointSizeF(8.25);
    setFont(f);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const double dpi = logicalDpiX();
    setFixedSize(twips(dpi, UpgradeLayout::kClient).size());

    prompt_->setGeometry(twips(dpi, UpgradeLayout::kPrompt));
    pathBox_->setGeometry(twips(dpi, UpgradeLayout::kPathBox));
    bar_->setGeometry(twips(dpi, UpgradeLayout::kBar));
    ok_->setGeometry(twips(dpi, UpgradeLayout::kOk));
    percent_->setGeometry(twips(dpi, UpgradeLayout::kPercent));
    cancel_->setGeometry(twips(dpi, UpgradeLayout::kCancel));
    device_->setGeometry(twips(dpi, UpgradeLayout::kDevice));

    setWindowTitle(uiText(Str::Downloading));
    prompt_->setText(uiText(Str::DownloadFile));
    ok_->setText(uiText(Str::Ok));
    cancel_->setText(uiText(Str::Cancel));
    device_->setTextFormat(Qt::PlainText);
    const QString line = QString::fromStdString(logic_.deviceLine());
    device_->setText(device_->fontMetrics().elidedText(line, Qt::ElideRight, device_->width()));
    device_->setToolTip(line);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->hide();
    percent_->hide();

    // OK, Cancel, then the path box: OK holds the focus when the dialog opens.
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, pathBox_);
    ok_->setDefault(true);
    cancel_->setAutoDefault(false); // Enter on it goes to the logic, which ignores it during a transfer
    ok_->setFocus();

    connect(ok_, &QPushButton::clicked, this, [this] { logic_.ok(); });
    connect(pathBox_, &PathBox::enterPressed, this, [this] { logic_.ok(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { logic_.cancel(); });
    connect(pathBox_, &PathBox::browseRequested, this, [this] { logic_.browse(); });
#if QT_CONFIG(sessionmanager)
    // A logoff or shutdown would cut the flash short: refused where the session manager lets us.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (logic_.transferRunning() && session.allowsInteraction()) {
            session.cancel();
        }
    });
#endif
}

Download::~Download() = default;

void Download::done(int result) {
    logic_.closing();
    QDialog::done(result);
}

void Download::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !UpgradeDialog::kEscapeCloses) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        logic_.enterPressed(cancel_->hasFocus());
        return;
    }
    QDialog::keyPressEvent(event);
}

// The close box: the logic decides, and asks first while a transfer runs.
void Download::closeEvent(QCloseEvent* event) {
    if (!isVisible()) {
        event->accept();
        return;
    }
    event->ignore();
    logic_.cancel();
}

std::string Download::pathText() const {
    return pathBox_->currentText().toStdString();
}

void Download::setPathText(const std::string& path) {
    pathBox_->setEditText(QString::fromStdString(path));
}

void Download::focusPathBox() {
    pathBox_->setFocus();
}

void Download::focusOk() {
    ok_->setFocus();
}

std::optional<std::string> Download::chooseImage() {
    return platform_.files.chooseImage(this);
}

MessageAnswer Download::showMessage(const Message& message) {
    return platform_.messages.show(this, message);
}

void Download::showProgressView() {
    pathBox_->hide();
    ok_->hide();
    bar_->show();
    percent_->show();
    setWindowTitle(uiText(Str::Downloading));
    bar_->setFocus(); // not Cancel: a key meant for something else must not reach it
}

void Download::setBar(int value) {
    bar_->setValue(value);
}

void Download::setPercent(const std::string& text) {
    percent_->setText(QString::fromStdString(text));
}

void Download::closeDialog(bool accepted) {
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace fw
