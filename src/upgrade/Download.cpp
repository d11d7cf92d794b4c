// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/Download.h"

#include "common/Message.h"
#include "common/StringTable.h"
#include "common/Twips.h"
#include "engine/UpgradeDriver.h"
#include "platform/ImageFileReader.h"
#include "platform/UiText.h"
#include "upgrade/PathBox.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/TftpPackets.h"
#include "upgrade/core/UploadResultText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <asio/co_spawn.hpp>

namespace fw {
namespace {

QRect twips(double dpi, int left, int top, int width, int height) {
    return {twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
            twipsToPixels(height, dpi)};
}

// The box a result shows (uploadResultText); nothing for a result without a text.
std::optional<Message> uploadResultMessage(const TftpUpload::Result& result) {
    auto text = uploadResultText(result);
    if (!text) {
        return std::nullopt;
    }
    return Message{std::move(*text), std::string(loadResString(Str::Product)), MessageIcon::None,
                   MessageButtons::Ok};
}

} // namespace

Download::Download(Platform& platform, EngineLink engine, const ProcessValues& values, UploadCarryOver& carry,
                   QWidget* parent)
    : QDialog(parent), platform_(platform), engine_(engine), values_(values), carry_(carry),
      prompt_(new QLabel(this)), pathBox_(new PathBox(this)), ok_(new QPushButton(this)),
      cancel_(new QPushButton(this)), bar_(new QProgressBar(this)), percent_(new QLabel(this)) {
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
    stopDriver();
}

void Download::done(int result) {
    if (view_ != View::Closed) {
        view_ = View::Closed;
        stopDriver();
    }
    QDialog::done(result);
}

// The timer stops and both sockets close before the engine runs anything posted later: nothing is
// sent after this.
void Download::stopDriver() {
    if (driver_) {
        engine_.engine.post([driver = std::move(driver_)] { driver->cancel(); });
    }
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
    // Reading and searching an image of up to 16 MiB takes a while: the engine's thread does it.
    engine_.engine.post([path = pathBox_->currentText().toStdString(), kind = values_.selectedDeviceKind,
                         back = back_.sender(), this] {
        auto file = std::make_shared<ImageFile>();
        if (!path.empty()) {
            *file = readImageFile(path, kTftpMaxImageBytes);
        }
        back([this, decision = checkImage(path, *file, kind), file] {
            imageChecked(decision, std::move(file->bytes));
        });
    });
}

void Download::imageChecked(const ImageDecision& decision, std::vector<std::uint8_t> image) {
    if (view_ != View::Checking) {
        return; // closed meanwhile
    }
    if (decision.kind != ImageDecision::Kind::Accept) {
        const QPointer<Download> alive(this);
        const MessageAnswer answer = platform_.messages.show(this, decision.message);
        if (!alive || view_ == View::Closed) {
            return; // closed while the message box was open
        }
        if (decision.focusPathBox) {
            pathBox_->setFocus();
        }
        if (decision.kind == ImageDecision::Kind::Refuse || answer == MessageAnswer::Cancel) {
            view_ = View::Selection;
            return;
        }
    }
    showProgressView();
    startDriver(std::move(image));
}

void Download::startDriver(std::vector<std::uint8_t> image) {
    const UiPost::Sender back = back_.sender();
    // The counters change with every block; the bar and the label about once in 328 blocks of the
    // largest image: only their changes cross to the window's thread.
    engine::UpgradeDriver::Observer observer;
    observer.progressed =
        [back, this, shown = std::optional<TftpUpload::Progress>()](const TftpUpload::Progress& now) mutable {
            if (!shown || now.bar != shown->bar) {
                back([this, value = now.bar] { bar_->setValue(value); });
            }
            if (!shown || now.label() != shown->label()) {
                back([this, text = now.label()] { percent_->setText(QString::fromStdString(text)); });
            }
            shown = now;
        };
    driver_ = std::make_shared<engine::UpgradeDriver>(
        engine_.endpoints, [&host = platform_.host](Ipv4 device) { host.flushNeighbour(device); }, carry_,
        std::move(observer));
    engine_.engine.post([driver = driver_, executor = engine_.endpoints.executor(),
                         device = values_.selectedDeviceIp, local = values_.localAdapterIp,
                         image = std::move(image), back, this]() mutable {
        asio::co_spawn(
            executor, driver->run(device, local, std::move(image)),
            [driver, back, this](const std::exception_ptr&, engine::UpgradeDriver::Summary summary) {
                back(
                    [this, summary = std::move(summary)] { uploadEnded(summary.result, summary.portError); });
            });
    });
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

// The transfer is over: its message, then the dialog closes. A cancelled one finds it closed.
void Download::uploadEnded(const TftpUpload::Result& result,
                           const std::optional<engine::SocketError>& portError) {
    if (view_ == View::Closed) {
        return;
    }
    auto message = uploadResultMessage(result);
    if (result.outcome == TftpUpload::Outcome::PortUnavailable) {
        // Not "Time Out": nothing was sent, and the user can free the port and try again.
        const bool taken = portError && portError->kind == engine::SocketError::Kind::PortInUse;
        const std::string reason = portError ? portError->code.message() : std::string();
        message = Message{std::string(loadResString(taken ? Str::UploadPortInUse : Str::UploadPortUnusable)) +
                              " " + toText(values_.localAdapterIp) + (taken ? "." : ": " + reason),
                          std::string(loadResString(Str::Product)), MessageIcon::Exclamation};
    }
    const QPointer<Download> alive(this);
    if (message) {
        platform_.messages.show(this, *message);
    }
    if (alive) {
        done(result.outcome == TftpUpload::Outcome::Completed ? QDialog::Accepted : QDialog::Rejected);
    }
}

} // namespace fw
