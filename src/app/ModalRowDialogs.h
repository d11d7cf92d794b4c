#pragma once

#include "app/RowDialogs.h"
#include "platform/Platform.h"

namespace fw {

// The program's Set IP (Setips) and upgrade (Download) dialogs, opened modal to the main window.
class ModalRowDialogs final : public RowDialogs {
public:
    explicit ModalRowDialogs(Platform& platform);
    ~ModalRowDialogs() override;

    void openSetIp(QWidget* parent, ProcessValues& values) override;
    void openUpgrade(QWidget* parent, ProcessValues& values) override;

private:
    Platform& platform_;
};

} // namespace fw
