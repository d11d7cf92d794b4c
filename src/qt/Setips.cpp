// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Setips.h"

#include "common/StringTable.h"
#include "common/Twips.h"
#include "qt/Platform.h"
#include "qt/UiText.h"
#include "qt/ZavikIPAddress.h"
#include "setip/SetIpLayout.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace fw {
namespace {

// Design positions are in twips. A control never gets less than it needs to show itself with the
// fonts at hand, so sizes only grow.
void place(QWidget* w, const SetIpLayout::Rect& r) {
    const double dpi = w->logicalDpiX();
    const QSize need = w->minimumSizeHint();
    w->setGeometry(twipsToPixels(r.left, dpi), twipsToPixels(r.top, dpi),
                   std::max(twipsToPixels(r.width, dpi), need.width()),
                   std::max(twipsToPixels(r.height, dpi), need.height()));
}

QFont designFont(const char* family, double points) {
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    return f;
}

// Grows a container so that its children fit, with the same margin right and below as designed.
void fitAround(QWidget* container, int designWidth, int designHeight, int marginTwips) {
    const double dpi = container->logicalDpiX();
    const int margin = twipsToPixels(marginTwips, dpi);
    int right = twipsToPixels(designWidth, dpi);
    int bottom = twipsToPixels(designHeight, dpi);
    for (const QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        right = std::max(right, child->geometry().right() + 1 + margin);
        bottom = std::max(bottom, child->geometry().bottom() + 1 + margin);
    }
    container->resize(right, bottom);
}

std::size_t slot(SetIpDialog::Entry entry) {
    return static_cast<std::size_t>(entry);
}

} // namespace

Setips::Setips(Platform& platform, EngineLink engine, const SetIpDialog::Opening& opening,
               SetIpExchange& exchange, QWidget* parent)
    : QDialog(parent), platform_(platform), job_(engine, queue_, exchange), logic_(*this, job_, opening) {
    setObjectName(QStringLiteral("Setips"));
    buildControls();

    command1_->setText(uiText(Str::Exit));
    command2_->setText(uiText(Str::Ok));
    setWindowTitle(uiText(Str::SetIp));
    frame1_->setTitle(uiText(Str::SetIp));
    label3_->setText(uiText(Str::SetIp));
    label2_->setText(uiText(Str::Ip));
    label4_->setText(uiText(Str::Mask));
    label5_->setText(uiText(Str::Gateway));
    label1_->setText(uiText(Str::EnableDhcp));
    // The entries and the option buttons are named by the captions beside them.
    const std::array<QLabel*, 3> captions{label2_, label4_, label5_};
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i]->setFieldName(captions[i]->text());
    }
    option1_->setAccessibleName(label3_->text());
    option2_->setAccessibleName(label1_->text());

    // Captions may have grown the controls; lay out around them once the texts are in.
    place(label3_, SetIpLayout::kStaticCaption);
    for (std::size_t i = 0; i < captions.size(); ++i) {
        place(captions[i], SetIpLayout::kEntryCaptions[i]);
    }
    place(label1_, SetIpLayout::kDhcpCaption);
    place(command2_, SetIpLayout::kOk);
    place(command1_, SetIpLayout::kExit);
    fitAround(frame1_, SetIpLayout::kFrame.width, SetIpLayout::kFrame.height, SetIpLayout::kFrameMargin);
    // The device line under the buttons, as wide as the frame; a long name is cut short, not the
    // dialog widened.
    const double dpi = logicalDpiX();
    device_->setGeometry(
        twipsToPixels(SetIpLayout::kDevice.left, dpi), twipsToPixels(SetIpLayout::kDevice.top, dpi),
        std::max(twipsToPixels(SetIpLayout::kDevice.width, dpi), frame1_->width()),
        std::max(twipsToPixels(SetIpLayout::kDevice.height, dpi), device_->sizeHint().height()));
    const QString line = QString::fromStdString(logic_.deviceLine());
    device_->setText(device_->fontMetrics().elidedText(line, Qt::ElideRight, device_->width()));
    device_->setToolTip(line);
    fitAround(this, SetIpLayout::kClientWidth, SetIpLayout::kClientHeight, SetIpLayout::kMargin);
    setFixedSize(size());

    logic_.start();
    command1_->setFocus();
}

Setips::~Setips() = default;

void Setips::done(int result) {
    logic_.closed();
    QDialog::done(result);
}

void Setips::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !SetIpDialog::escapeCloses) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Setips::buildControls() {
    setFont(designFont("Lucida Sans Unicode", 8.25));
    // Created in tab order (Exit, OK, the options, the three entries), which makes the focus chain.
    command1_ = new QPushButton(this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command2_ = new QPushButton(this);
    command2_->setObjectName(QStringLiteral("Command2"));
    for (QPushButton* b : {command1_, command2_}) {
        b->setAutoDefault(false); // Enter presses neither
        b->setDefault(false);
    }
    frame1_ = new QGroupBox(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    place(frame1_, SetIpLayout::kFrame);

    option1_ = new QRadioButton(frame1_);
    option1_->setObjectName(QStringLiteral("Option1"));
    option2_ = new QRadioButton(frame1_);
    option2_->setObjectName(QStringLiteral("Option2"));
    for (QRadioButton* o : {option1_, option2_}) {
        o->setFont(designFont("MS Sans Serif", 8.25));
    }
    place(option1_, SetIpLayout::kStaticOption);
    place(option2_, SetIpLayout::kDhcpOption);

    // The captions beside the options are plain labels: clicking them does nothing.
    const auto label = [this](const char* name) {
        auto* l = new QLabel(frame1_);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    label1_ = label("Label1");
    label2_ = label("Label2");
    label3_ = label("Label3");
    label4_ = label("Label4");
    label5_ = label("Label5");

    device_ = new QLabel(this);
    device_->setObjectName(QStringLiteral("DeviceLine"));
    device_->setTextFormat(Qt::PlainText);

    for (std::size_t i = 0; i < entries_.size(); ++i) {
        auto* e = new ZavikIPAddress(frame1_);
        e->setObjectName(QStringLiteral("ZavikIPAddress%1").arg(i + 1));
        e->setFont(designFont("Tahoma", 9));
        e->setMessageBoxes(&platform_.messages);
        place(e, SetIpLayout::kEntries[i]);
        entries_[i] = e;
    }

    connect(option1_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            logic_.optionChosen(SetIpDialog::Option::Static);
        }
    });
    connect(option2_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            logic_.optionChosen(SetIpDialog::Option::Dhcp);
        }
    });
    connect(command2_, &QPushButton::clicked, this, [this] { logic_.okPressed(); });
    connect(command1_, &QPushButton::clicked, this, [this] { logic_.exitPressed(); });
}

void Setips::setEntriesEnabled(bool enabled) {
    for (ZavikIPAddress* e : entries_) {
        e->setEnabled(enabled);
    }
}

void Setips::setEntry(SetIpDialog::Entry entry, const std::string& address) {
    entries_[slot(entry)]->setIpAddress(QString::fromStdString(address));
}

std::string Setips::entry(SetIpDialog::Entry entry) const {
    return entries_[slot(entry)]->ipAddress().toStdString();
}

void Setips::checkOption(SetIpDialog::Option option) {
    (option == SetIpDialog::Option::Static ? option1_ : option2_)->setChecked(true);
}

void Setips::showMessage(const Message& message) {
    platform_.messages.show(this, message);
}

void Setips::closeWindow() {
    close();
}

} // namespace fw
