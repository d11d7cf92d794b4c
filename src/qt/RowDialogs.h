// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setip/SetIpDialog.h"
#include "upgrade/UpgradeDialog.h"

class QWidget;

namespace fw {

// The two modal dialogs that row commands open. The main window has already done the command's own
// steps (the opening taken from the picked row, discovery sockets closed); each call returns when
// its dialog closes. Set IP returns the adapter index it chose.
class RowDialogs {
public:
    virtual ~RowDialogs() = default;
    virtual int openSetIp(QWidget* parent, const SetIpDialog::Opening& opening) = 0;
    virtual void openUpgrade(QWidget* parent, const UpgradeDialog::Opening& opening) = 0;
};

} // namespace fw
