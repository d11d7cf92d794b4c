// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ipcontrol/IpAddressModel.h"
#include "ipcontrol/IpControlLayout.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QLineEdit;

namespace fw {

class MessageBoxes;

// An IPv4 entry that looks like one field: four number boxes (txtIP0..txtIP3) with a dot between
// neighbours. Typing three digits or "." moves on, arrows cross at the edges, a number above 255
// cannot be typed and is caught when its box is left. The properties can be set from a .ui file;
// colours left unset follow the palette (Base for the background, Text for the text, Button for
// the disabled background).
class ZavikIPAddress : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString ipAddress READ ipAddress WRITE setIpAddress NOTIFY Change)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool UseDisabledBackColor READ useDisabledBackColor WRITE setUseDisabledBackColor)
    Q_PROPERTY(QColor BackColor READ backColor WRITE setBackColor RESET resetBackColor)
    Q_PROPERTY(QColor TextColor READ textColor WRITE setTextColor RESET resetTextColor)
    Q_PROPERTY(QFont Font READ font WRITE setFont)

public:
    explicit ZavikIPAddress(QWidget* parent = nullptr);
    ~ZavikIPAddress() override;

    // Where the control's message boxes go (index and range messages). Without one it only beeps.
    void setMessageBoxes(MessageBoxes* messages);
    // The refusal sound; QApplication::beep unless replaced (tests count it).
    void setBeeper(std::function<void()> beep);
    // What screen readers call the control (its caption, "IP Address" until set) and each of its
    // boxes ("Mask, part 2 of 4").
    void setFieldName(const QString& name);

    QString ipAddress() const;
    void setIpAddress(const QString& ip);
    int IPValue(int index);
    void setIPValue(int index, int value);
    bool IsValidIP() const;

    bool useDisabledBackColor() const { return useDisabledBackColor_; }
    void setUseDisabledBackColor(bool use);
    QColor backColor() const;
    void setBackColor(const QColor& color); // an invalid colour goes back to the palette's
    void resetBackColor();
    QColor textColor() const;
    void setTextColor(const QColor& color);
    void resetTextColor();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Change(const QString& newIp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Carries out what the model answered.
    void apply(const IpAddressModel::Actions& actions);
    // A character typed in box: true when the model consumed it, false when the box takes it.
    bool type(int box, char16_t c);
    int boxIndex(const QObject* watched) const;
    bool keyPressed(int box, const QKeyEvent& event);
    void relayout();
    void applyColours();
    IpControlLayout currentLayout() const;

    IpAddressModel model_;
    std::array<QLineEdit*, 4> boxes_{}; // children of this widget
    IpControlLayout layout_;
    MessageBoxes* messages_ = nullptr; // not owned
    std::function<void()> beep_;
    bool useDisabledBackColor_ = true;
    std::optional<QColor> backColor_; // none: the palette's Base
    std::optional<QColor> textColor_; // none: the palette's Text
};

} // namespace fw
