// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ModalRowDialogs.h"

#include "qt/Download.h"
#include "qt/Setips.h"
#include "setip/SetIpExchange.h"
#include "upgrade/UploadCarryOver.h"

namespace fw {

// What the dialogs keep for the whole run: the Set IP record and mode, the upload's last percent.
// The engine's thread uses them while a dialog's job runs there.
struct ModalRowDialogs::RunState {
    SetIpExchange exchange;
    UploadCarryOver carryOver;
};

ModalRowDialogs::ModalRowDialogs(Platform& platform, EngineLink engine)
    : platform_(platform), engine_(engine), run_(std::make_unique<RunState>()) {}

int ModalRowDialogs::openSetIp(QWidget* parent, const SetIpDialog::Opening& opening) {
    Setips dialog(platform_, engine_, opening, run_->exchange, parent);
    dialog.exec();
    return dialog.adapterIndex();
}

void ModalRowDialogs::openUpgrade(QWidget* parent, const UpgradeDialog::Opening& opening) {
    Download dialog(platform_, engine_, opening, run_->carryOver, parent);
    dialog.exec();
}

ModalRowDialogs::~ModalRowDialogs() = default;

} // namespace fw
