// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "guilink/EngineLink.h"
#include "guilink/GuiPost.h"

#include <QDialog>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace fw {

struct Platform;
class SetIpExchange;
class ZavikIPAddress;

namespace engine {
class SetIpDriver;
struct SocketError;
} // namespace engine

// The Set IP dialog: a fixed address with mask and gateway, or DHCP, for the device picked in the
// main list (values.selectedDeviceMac). Opens with DHCP selected; the static option proposes the
// local adapter's address with its last number + 1. OK sends one request; the device's answer comes
// as a message box and the dialog stays open until Exit. The exchange (the run's one) and sock1 live
// on the engine's thread: this side posts the OK presses there and shows what comes back. The caller
// closes its own sockets on port 4001 first and runs it with exec(). It works on the device picked
// when it opened, whatever the window lists meanwhile; it hands back only the adapter index it chose.
class Setips : public QDialog {
    Q_OBJECT
public:
    Setips(Platform& platform, EngineLink engine, ProcessValues& values, SetIpExchange& exchange,
           QWidget* parent = nullptr);
    ~Setips() override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void openExchange();
    void staticSelected();
    void dhcpSelected();
    void okPressed();
    void showBindFailure(const engine::SocketError& error);
    void closeSock1();
    void setEntriesEnabled(bool enabled);

    Platform& platform_;
    EngineLink engine_;
    // The picked device's MAC, our adapter and the adapter table, copied at opening: rows listed
    // while the dialog is open move the window's values to the device listed last.
    ProcessValues values_;
    SetIpExchange& exchange_;
    std::shared_ptr<engine::SetIpDriver> sock1_; // used and finally destroyed on the engine's thread
    GuiPost back_{this};

    // Children of this dialog.
    QGroupBox* frame1_ = nullptr;
    QRadioButton* option1_ = nullptr; // static
    QRadioButton* option2_ = nullptr; // DHCP
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    std::array<ZavikIPAddress*, 3> entries_{}; // address, mask, gateway
    QPushButton* command1_ = nullptr;          // Exit
    QPushButton* command2_ = nullptr;          // OK
};

} // namespace fw
