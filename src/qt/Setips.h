// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SetIpDriver.h"
#include "guilink/EngineJob.h"
#include "guilink/EngineLink.h"
#include "qt/GuiPost.h"
#include "setip/SetIpDialog.h"

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace fw {

struct Platform;
class SetIpExchange;
class ZavikIPAddress;

// The Set IP dialog's Qt view over SetIpDialog, which decides what it does. The caller closes its
// own sockets on port 4001 first and runs it with exec().
class Setips : public QDialog, private SetIpDialog::View {
    Q_OBJECT
public:
    Setips(Platform& platform, EngineLink engine, const SetIpDialog::Opening& opening,
           SetIpExchange& exchange, QWidget* parent = nullptr);
    ~Setips() override;

    void done(int result) override;
    // The adapter it talks through; the next opening starts from it.
    int adapterIndex() const { return logic_.adapterIndex(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // SetIpDialog::View
    void setEntriesEnabled(bool enabled) override;
    void setEntry(SetIpDialog::Entry entry, const std::string& address) override;
    std::string entry(SetIpDialog::Entry entry) const override;
    void checkOption(SetIpDialog::Option option) override;
    void showMessage(const Message& message) override;
    void closeWindow() override;

    void buildControls();

    Platform& platform_;
    QtUiQueue queue_{this};
    EngineJob<engine::SetIpDriver> job_;
    SetIpDialog logic_;

    // Children of this dialog.
    QGroupBox* frame1_ = nullptr;
    QRadioButton* option1_ = nullptr; // static
    QRadioButton* option2_ = nullptr; // DHCP
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    QLabel* device_ = nullptr;                 // the device the dialog works on
    std::array<ZavikIPAddress*, 3> entries_{}; // address, mask, gateway
    QPushButton* command1_ = nullptr;          // Exit
    QPushButton* command2_ = nullptr;          // OK
};

} // namespace fw
