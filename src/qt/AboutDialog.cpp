// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/AboutDialog.h"

#include "Version.h"
#include "app/AboutLayout.h"
#include "app/AboutText.h"
#include "common/Twips.h"
#include "qt/AppIcons.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace fw {
namespace {

using namespace about_layout;

QRect toPixels(const TwipRect& r, double dpi) {
    return {twipsToPixels(r.left, dpi), twipsToPixels(r.top, dpi), twipsToPixels(r.width, dpi),
            twipsToPixels(r.height, dpi)};
}

} // namespace

QString AboutDialog::versionText(int major, int minor, int revision) {
    return QString::fromStdString(aboutVersionText(major, minor, revision));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setModal(true);
    QFont font("Lucida Sans Unicode");
    font.setPointSizeF(8.25);
    setFont(font);
    const double dpi = logicalDpiX();

    auto* icon = new QLabel(this);
    icon->setObjectName("picIcon");
    icon->setPixmap(AppIcons::render(":/fernwick/fernwick.svg", twipsToPixels(kIconSize, dpi)));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setGeometry(toPixels(kIcon, dpi));

    auto* version = new QLabel(this);
    version->setObjectName("lblVersion");
    version->setGeometry(toPixels(kVersion, dpi));

    auto* notice = new QLabel(this);
    notice->setObjectName("Label1");
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice->setGeometry(toPixels(kNotice, dpi));

    auto* rule = new QFrame(this);
    rule->setObjectName("Line1");
    rule->setFrameShape(QFrame::NoFrame);
    rule->setAutoFillBackground(true);
    rule->setStyleSheet("background-color: #808080;");
    QRect ruleRect = toPixels(kRule, dpi);
    ruleRect.setHeight(1);
    rule->setGeometry(ruleRect);

    auto* ok = new QPushButton(this);
    ok->setObjectName("cmdOK");
    ok->setGeometry(toPixels(kOk, dpi));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Escape rejects through QDialog, which closes the dialog the same way.

    setFixedSize(toPixels(kClient, dpi).size());

    const AboutText text = aboutText(FERNWICK_VERSION_MAJOR, FERNWICK_VERSION_MINOR, FERNWICK_VERSION_PATCH);
    setWindowTitle(QString::fromStdString(text.title));
    version->setText(QString::fromStdString(text.version));
    notice->setText(QString::fromStdString(text.notice));
    ok->setText(QString::fromStdString(text.ok));
}

} // namespace fw
