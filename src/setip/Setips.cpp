// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/Setips.h"

#include "common/ProcessValues.h"
#include "common/StringTable.h"
#include "common/Twips.h"
#include "engine/SetIpDriver.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "platform/Platform.h"
#include "platform/UiText.h"
#include "setip/core/FixedAddressCheck.h"
#include "setip/core/SetIpAnswerText.h"
#include "setip/core/SetIpExchange.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <variant>

namespace fw {
namespace {

// Design positions are in twips. A control never gets less than it needs to show itself with the
// fonts at hand, so sizes only grow.
void place(QWidget* w, int left, int top, int width, int height) {
    const double dpi = w->logicalDpiX();
    const QSize need = w->minimumSizeHint();
    w->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
                   std::max(twipsToPixels(width, dpi), need.width()),
                   std::max(twipsToPixels(height, dpi), need.height()));
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

} // namespace

Setips::Setips(Platform& platform, EngineLink engine, ProcessValues& values, SetIpExchange& exchange,
               QWidget* parent)
    : QDialog(parent), platform_(platform), engine_(engine), values_(values), exchange_(exchange) {
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
    place(label3_, 840, 360, 1935, 375);
    place(label2_, 960, 720, 975, 255);
    place(label4_, 960, 1080, 975, 255);
    place(label5_, 960, 1440, 975, 255);
    place(label1_, 840, 2040, 1935, 255);
    place(command2_, 600, 3000, 855, 375);
    place(command1_, 3120, 3000, 855, 375);
    fitAround(frame1_, 4215, 2535, 120);
    fitAround(this, 4680, 3615, 240);
    setFixedSize(size());

    openExchange();
    values.setIpAdapterIndex = values_.setIpAdapterIndex; // the next opening starts from it
    setEntriesEnabled(false);
    option2_->setChecked(true); // runs dhcpSelected
    command1_->setFocus();
}

Setips::~Setips() {
    closeSock1();
}

void Setips::done(int result) {
    closeSock1();
    QDialog::done(result);
}

void Setips::closeSock1() {
    if (sock1_) {
        engine_.engine.post([sock1 = std::move(sock1_)] { sock1->close(); });
    }
}

void Setips::keyPressEvent(QKeyEvent* event) {
    // Neither button is the cancel button: Escape leaves the dialog open.
    if (event->key() == Qt::Key_Escape) {
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
    place(frame1_, 240, 240, 4215, 2535);

    option1_ = new QRadioButton(frame1_);
    option1_->setObjectName(QStringLiteral("Option1"));
    option2_ = new QRadioButton(frame1_);
    option2_->setObjectName(QStringLiteral("Option2"));
    for (QRadioButton* o : {option1_, option2_}) {
        o->setFont(designFont("MS Sans Serif", 8.25));
    }
    place(option1_, 240, 360, 375, 195);
    place(option2_, 240, 2040, 255, 195);

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

    const std::array<int, 3> tops{720, 1080, 1440};
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        auto* e = new ZavikIPAddress(frame1_);
        e->setObjectName(QStringLiteral("ZavikIPAddress%1").arg(i + 1));
        e->setFont(designFont("Tahoma", 9));
        e->setMessageBoxes(&platform_.messages);
        place(e, 2040, tops[i], 2010, 285);
        entries_[i] = e;
    }

    connect(option1_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            staticSelected();
        }
    });
    connect(option2_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            dhcpSelected();
        }
    });
    connect(command2_, &QPushButton::clicked, this, &Setips::okPressed);
    connect(command1_, &QPushButton::clicked, this, &Setips::close);
}

void Setips::openExchange() {
    const AdapterTable& adapters = values_.adapterTable;
    // The adapter is the exchange's choice; a scratch exchange makes it here, so that the run's one
    // is touched on the engine's thread only.
    const int index = SetIpExchange{}.open(adapters, values_.localAdapterIp, values_.setIpAdapterIndex,
                                           values_.selectedDeviceMac);
    values_.setIpAdapterIndex = index;
    // Each answer is shown in a modal box; a done answer's acknowledgement leaves once it is closed.
    sock1_ = std::make_shared<engine::SetIpDriver>(
        engine_.endpoints, exchange_,
        [back = back_.sender(), this](const engine::SetIpDriver::Answer& answer) {
            back([this, answer] {
                platform_.messages.show(
                    this, Message{std::string(loadResString(setIpAnswerText(answer.answer))),
                                  std::string(loadResString(Str::Product)), MessageIcon::Information});
                if (sock1_ && answer.acknowledgement) {
                    engine_.engine.post(
                        [sock1 = sock1_, ack = *answer.acknowledgement] { sock1->acknowledge(ack); });
                }
            });
        });
    engine_.engine.post([sock1 = sock1_, &exchange = exchange_, adapters, local = values_.localAdapterIp,
                         index, mac = values_.selectedDeviceMac, back = back_.sender(), this] {
        exchange.open(adapters, local, index, mac);
        if (adapters.empty()) {
            return; // nothing to bind to; OK then sends nothing
        }
        if (auto opened = sock1->open(adapters[static_cast<std::size_t>(index)]); !opened) {
            back([this, error = opened.error()] { showBindFailure(error); });
        }
    });
}

// Said once, or OK would look dead. Only EADDRINUSE means another program has the port; anything
// else (the adapter went away, say) gets the neutral text and the system's reason.
void Setips::showBindFailure(const engine::SocketError& error) {
    const Str id = error.kind == engine::SocketError::Kind::PortInUse ? Str::PortInUse : Str::PortUnusable;
    platform_.messages.show(this,
                            Message{std::string(loadResString(id)) + " " + error.code.message(),
                                    std::string(loadResString(Str::Product)), MessageIcon::Exclamation});
}

void Setips::staticSelected() {
    setEntriesEnabled(true);
    const AdapterTable& adapters = values_.adapterTable;
    if (adapters.empty()) {
        return;
    }
    const AdapterEntry& e = adapters[static_cast<std::size_t>(values_.setIpAdapterIndex)];
    ZavikIPAddress* address = entries_[0];
    address->setIpAddress(QString::fromStdString(toText(e.ip)));
    address->setIPValue(3, address->IPValue(3) + 1); // held at 255
    entries_[1]->setIpAddress(QString::fromStdString(toText(e.mask)));
    entries_[2]->setIpAddress(QString::fromStdString(toText(e.gateway)));
}

void Setips::dhcpSelected() {
    setEntriesEnabled(false);
}

void Setips::setEntriesEnabled(bool enabled) {
    for (ZavikIPAddress* e : entries_) {
        e->setEnabled(enabled);
    }
}

// Every press uses up a request number, before anything is checked.
void Setips::okPressed() {
    if (!sock1_) {
        return; // closed
    }
    const auto numberAnd = [this](auto send) {
        engine_.engine.post([sock1 = sock1_, send] {
            sock1->numberRequest();
            send(*sock1);
        });
    };
    if (!option1_->isChecked()) {
        numberAnd([](engine::SetIpDriver& sock1) { sock1.sendDhcp(); });
        return;
    }
    const std::string address = entries_[0]->ipAddress().toStdString();
    const std::string mask = entries_[1]->ipAddress().toStdString();
    const std::string gateway = entries_[2]->ipAddress().toStdString();
    const auto checked = checkFixedAddress(address, mask, gateway);
    if (!checked) {
        numberAnd([](engine::SetIpDriver&) {});
        platform_.messages.show(this, notValidIpMessage(checked.error().typed));
        return;
    }
    const FixedAddress& values = *checked;
    // A device given any of our own addresses would be cut off; the adapters are the last search's.
    const AdapterEntry* holder = adapterHolding(values_.hostAdapters, values.address);
    if (holder == nullptr) {
        holder = adapterHolding(values_.adapterTable, values.address);
    }
    if (holder != nullptr) {
        numberAnd([](engine::SetIpDriver&) {});
        platform_.messages.show(this,
                                Message{address + " " + std::string(loadResString(Str::HostHoldsAddress)) +
                                            " " + holder->interfaceName,
                                        std::string(loadResString(Str::Product)), MessageIcon::Exclamation});
        return;
    }
    numberAnd([fixed = engine::SetIpDriver::Fixed{values.address, values.mask, values.gateway}](
                  engine::SetIpDriver& sock1) { sock1.sendFixed(fixed); });
}

} // namespace fw
