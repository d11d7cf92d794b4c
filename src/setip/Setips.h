// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace fw {

struct Platform;
struct ProcessValues;
class SetIpExchange;
class SetIpSocket;
class ZavikIPAddress;

// The Set IP dialog: a fixed address with mask and gateway, or DHCP, for the device picked in the
// main list (values.selectedDeviceMac). Opens with DHCP selected; the static option proposes the
// local adapter's address with its last number + 1. OK sends one request; the device's answer comes
// as a message box and the dialog stays open until Exit. The caller closes its own sockets on port
// 4001 first and runs it with exec().
class Setips : public QDialog {
    Q_OBJECT
public:
    Setips(Platform& platform, ProcessValues& values, SetIpExchange& exchange, QWidget* parent = nullptr);
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
    void setEntriesEnabled(bool enabled);

    Platform& platform_;
    ProcessValues& values_;
    SetIpExchange& exchange_;
    std::unique_ptr<SetIpSocket> sock1_;

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
