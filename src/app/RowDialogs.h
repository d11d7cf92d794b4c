// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"

class QWidget;

namespace fw {

// The two modal dialogs that row commands open. The main window has already done the command's own
// steps (hand-off values filled, discovery sockets closed); each call returns when its dialog closes.
class RowDialogs {
public:
    virtual ~RowDialogs() = default;
    virtual void openSetIp(QWidget* parent, ProcessValues& values) = 0;
    virtual void openUpgrade(QWidget* parent, ProcessValues& values) = 0;
};

} // namespace fw
