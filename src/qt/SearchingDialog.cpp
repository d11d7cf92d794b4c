// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/SearchingDialog.h"

#include "common/StringTable.h"
#include "common/Twips.h"
#include "discovery/SearchingLayout.h"
#include "qt/UiText.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace fw {
using namespace searching_layout;

SearchingDialog::SearchingDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("pending"));
    setModal(false);
    QFont f = font();
    f.setFamilies({QStringLiteral("Lucida Sans Unicode")});
    setFont(f);

    const double dpi = logicalDpiX();
    const auto px = [dpi](int twips) {
        return twipsToPixels(twips, dpi);
    };
    const auto place = [&px](QWidget* w, const TwipRect& r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };

    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("Label1"));
    place(label_, kLabel);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setRange(0, SearchCountdown::kLastValue);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    place(bar_, kBar);

    cancel_ = new QPushButton(this);
    cancel_->setObjectName(QStringLiteral("Command1"));
    place(cancel_, kButton);
    connect(cancel_, &QPushButton::clicked, this, [this] { countdown_.cancel(); });

    setWindowTitle(uiText(Str::SearchingTitle));
    cancel_->setText(uiText(Str::Cancel));
    label_->setText(uiText(Str::SearchingText));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    step_.setSingleShot(true);
    step_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&step_, &QTimer::timeout, this, [this] { advance(countdown_.tick()); });
}

void SearchingDialog::start() {
    show();
    advance(countdown_.start());
}

void SearchingDialog::reject() {
    // Esc: the same as Cancel; the countdown closes the dialog at its next step.
    if (countdown_.running()) {
        countdown_.cancel();
    } else {
        QDialog::reject();
    }
}

void SearchingDialog::closeEvent(QCloseEvent* event) {
    if (countdown_.running()) {
        countdown_.cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void SearchingDialog::advance(std::optional<SearchCountdown::Step> step) {
    if (step) {
        bar_->setValue(step->bar);
        step_.start(step->wait);
        return;
    }
    step_.stop();
    hide();
    emit countdownEnded();
    deleteLater();
}

} // namespace fw
