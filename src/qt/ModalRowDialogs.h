// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/EngineLink.h"
#include "qt/Platform.h"
#include "qt/RowDialogs.h"

#include <memory>

namespace fw {

// The program's Set IP (Setips) and upgrade (Download) dialogs, opened modal to the main window.
// The Set IP exchange and the upload carry-over live here for the whole run.
class ModalRowDialogs final : public RowDialogs {
public:
    ModalRowDialogs(Platform& platform, EngineLink engine);
    ~ModalRowDialogs() override;

    int openSetIp(QWidget* parent, const SetIpDialog::Opening& opening) override;
    void openUpgrade(QWidget* parent, const UpgradeDialog::Opening& opening) override;

private:
    struct RunState;
    Platform& platform_;
    EngineLink engine_;
    std::unique_ptr<RunState> run_;
};

} // namespace fw
