// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ZavikIPAddress.h"

#include "common/Overloaded.h"
#include "qt/MessageBoxes.h"
#include "qt/UiText.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <cmath>

namespace fw {
namespace {

int px(double v) {
    return static_cast<int>(std::lround(v));
}

void setInAllGroups(QPalette& palette, QPalette::ColorRole role, const QColor& color) {
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, role, color);
    }
}

} // namespace

ZavikIPAddress::ZavikIPAddress(QWidget* parent) : QWidget(parent), beep_([] { QApplication::beep(); }) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (int i = 0; i < IpAddressModel::kBoxes; ++i) {
        auto* box = new QLineEdit(QStringLiteral("0"), this);
        box->setObjectName(QStringLiteral("txtIP%1").arg(i));
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(static_cast<int>(IpAddressModel::kMaxBoxLength));
        // A last guard for routes that bypass the event filter below: digits only.
        box->setValidator(digits);
        box->setContextMenuPolicy(Qt::NoContextMenu);
        box->setAcceptDrops(false); // dropped text would skip the key rule
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { apply(model_.boxEdited(i, text.toStdString())); });
        boxes_[static_cast<std::size_t>(i)] = box;
    }
    setFocusProxy(boxes_[0]);
    setFieldName(uiText(Str::ColIp));
    applyColours();
    relayout();
    resize(minimumSize());
}

ZavikIPAddress::~ZavikIPAddress() {
    // The boxes outlive this part of the object while the base class deletes them.
    for (QLineEdit* box : boxes_) {
        box->removeEventFilter(this);
    }
}

void ZavikIPAddress::setMessageBoxes(MessageBoxes* messages) {
    messages_ = messages;
}

void ZavikIPAddress::setBeeper(std::function<void()> beep) {
    beep_ = std::move(beep);
}

void ZavikIPAddress::setFieldName(const QString& name) {
    setAccessibleName(name);
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        boxes_[i]->setAccessibleName(
            QStringLiteral("%1, part %2 of %3").arg(name).arg(i + 1).arg(boxes_.size()));
    }
}

QString ZavikIPAddress::ipAddress() const {
    return QString::fromStdString(model_.ipAddress());
}

void ZavikIPAddress::setIpAddress(const QString& ip) {
    apply(model_.setIpAddress(ip.toStdString()));
}

int ZavikIPAddress::IPValue(int index) {
    const auto value = model_.ipValue(index);
    apply(value.actions);
    return value.value;
}

void ZavikIPAddress::setIPValue(int index, int value) {
    apply(model_.setIpValue(index, value));
}

bool ZavikIPAddress::IsValidIP() const {
    return model_.isValidIp();
}

void ZavikIPAddress::setUseDisabledBackColor(bool use) {
    useDisabledBackColor_ = use;
    applyColours();
}

QColor ZavikIPAddress::backColor() const {
    return backColor_.value_or(palette().color(QPalette::Base));
}

void ZavikIPAddress::setBackColor(const QColor& color) {
    backColor_ = color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    applyColours();
}

void ZavikIPAddress::resetBackColor() {
    setBackColor(QColor());
}

QColor ZavikIPAddress::textColor() const {
    return textColor_.value_or(palette().color(QPalette::Text));
}

void ZavikIPAddress::setTextColor(const QColor& color) {
    textColor_ = color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    applyColours();
}

void ZavikIPAddress::resetTextColor() {
    setTextColor(QColor());
}

QSize ZavikIPAddress::sizeHint() const {
    return minimumSizeHint();
}

QSize ZavikIPAddress::minimumSizeHint() const {
    const IpControlLayout l = currentLayout();
    return {l.minWidth, l.minHeight};
}

bool ZavikIPAddress::eventFilter(QObject* watched, QEvent* event) {
    const int box = boxIndex(watched);
    if (box >= 0) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return keyPressed(box, *static_cast<QKeyEvent*>(event));
        case QEvent::MouseButtonRelease:
            // A middle click pastes the X11 selection, past the key rule: refuse it like Ctrl+V.
            if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
                apply(IpAddressModel::pasteAttempted());
                return true;
            }
            break;
        case QEvent::InputMethod:
            if (auto* ime = static_cast<QInputMethodEvent*>(event); !ime->commitString().isEmpty()) {
                // The composition still shows in the box; the committed text is typed key by key.
                const QString commit = ime->commitString();
                QInputMethodEvent rest(ime->preeditString(), ime->attributes());
                QCoreApplication::sendEvent(watched, &rest);
                // Each where the focus is by then, since three digits or "." move it on.
                for (const char16_t c : commit.toStdU16String()) {
                    const int focused = boxIndex(QApplication::focusWidget());
                    const int target = focused >= 0 ? focused : box;
                    if (!type(target, c)) {
                        boxes_[static_cast<std::size_t>(target)]->insert(QString(QChar(c)));
                    }
                }
                return true;
            }
            break;
        case QEvent::FocusIn:
            apply(IpAddressModel::focusGained(box));
            break;
        case QEvent::FocusOut: {
            // Another window (a message box, another program) taking the focus is not leaving the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            apply(model_.focusLost(box,
                                   reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason));
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ZavikIPAddress::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        applyColours();
    } else if (event->type() == QEvent::FontChange) {
        relayout();
    }
    QWidget::changeEvent(event);
}

void ZavikIPAddress::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void ZavikIPAddress::mousePressEvent(QMouseEvent* event) {
    // Only the margins, gaps and dots reach the surface; the boxes take their own clicks.
    apply(IpAddressModel::surfaceClicked(event->position().x(), layout_.boxWidth, isEnabled()));
    event->accept();
}

void ZavikIPAddress::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // The dots in the text colour (greyed when disabled), so that dark and high-contrast themes keep them.
    const QColor dotColour = palette().color(QPalette::WindowText);
    for (const auto& dot : layout_.dots) {
        p.fillRect(QRectF(dot.x, dot.y, IpControlLayout::kDotSize, IpControlLayout::kDotSize), dotColour);
    }
}

void ZavikIPAddress::apply(const IpAddressModel::Actions& actions) {
    using M = IpAddressModel;
    for (auto it = actions.begin(); it != actions.end(); ++it) {
        if (std::holds_alternative<M::Later>(*it)) {
            // From the event loop (never once this control is gone), after the event being handled.
            QTimer::singleShot(0, this,
                               [this, rest = M::Actions(std::next(it), actions.end())] { apply(rest); });
            return;
        }
        std::visit(Overloaded{
                       [this](const M::ShowText& a) {
                           boxes_[static_cast<std::size_t>(a.box)]->setText(QString::fromStdString(a.text));
                       },
                       [this](const M::Changed& a) { emit Change(QString::fromStdString(a.ipAddress)); },
                       [this](const M::Focus& a) {
                           QLineEdit* edit = boxes_[static_cast<std::size_t>(a.box)];
                           if (!edit->hasFocus()) {
                               edit->setFocus(Qt::OtherFocusReason);
                           }
                           if (a.caret == M::Caret::SelectAll) {
                               edit->selectAll();
                           } else {
                               edit->setCursorPosition(
                                   a.caret == M::Caret::AtStart ? 0 : static_cast<int>(edit->text().size()));
                           }
                       },
                       [this](const M::ShowMessage& a) {
                           if (messages_ != nullptr) {
                               messages_->show(window(), a.message);
                           } else {
                               beep_();
                           }
                       },
                       [this](M::Beep) { beep_(); },
                       [](M::Later) {},
                   },
                   *it);
    }
}

bool ZavikIPAddress::type(int box, char16_t c) {
    const auto typed = model_.charTyped(box, c, boxes_[static_cast<std::size_t>(box)]->hasSelectedText());
    apply(typed.actions);
    return typed.value;
}

int ZavikIPAddress::boxIndex(const QObject* watched) const {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        if (boxes_[i] == watched) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool ZavikIPAddress::keyPressed(int box, const QKeyEvent& event) {
    const QLineEdit* edit = boxes_[static_cast<std::size_t>(box)];
    const int key = event.key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const int selectionStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        apply(IpAddressModel::arrowPressed(
            box, key == Qt::Key_Left ? IpAddressModel::Arrow::Left : IpAddressModel::Arrow::Right,
            selectionStart, static_cast<int>(edit->text().size())));
        return false; // the box still sees the key
    }
    // Ctrl+V types a control character, which the key rule refuses; Shift+Insert types none.
    if (event.matches(QKeySequence::Paste)) {
        apply(IpAddressModel::pasteAttempted());
        return true;
    }
    // Focus navigation and editing keys that type no character.
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        return false;
    }
    const QString text = event.text();
    return !text.isEmpty() && type(box, text.front().unicode());
}

IpControlLayout ZavikIPAddress::currentLayout() const {
    const QFontMetrics fm(font());
    return IpControlLayout::compute(fm.horizontalAdvance(QStringLiteral("XXX")), fm.height(), width(),
                                    height());
}

void ZavikIPAddress::relayout() {
    layout_ = currentLayout();
    // A smaller size snaps back to the minimum (Qt clamps resizes to it).
    setMinimumSize(layout_.minWidth, layout_.minHeight);
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const auto& r = layout_.boxes[i];
        boxes_[i]->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    }
    update();
}

void ZavikIPAddress::applyColours() {
    const QColor background =
        (isEnabled() || !useDisabledBackColor_) ? backColor() : palette().color(QPalette::Button);
    const QColor text = textColor();
    for (QLineEdit* box : boxes_) {
        QPalette p = box->palette();
        setInAllGroups(p, QPalette::Base, background);
        p.setColor(QPalette::Active, QPalette::Text, text);
        p.setColor(QPalette::Inactive, QPalette::Text, text);
        box->setPalette(p);
    }
    QPalette p = palette();
    setInAllGroups(p, QPalette::Window, background);
    p.setColor(QPalette::Active, QPalette::WindowText, text);
    p.setColor(QPalette::Inactive, QPalette::WindowText, text);
    setPalette(p);
}

} // namespace fw
