// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"

class QWidget;

namespace fw {

// The two modal dialogs that row commands open. The main window has already done the command's own
// steps (hand-off values filled from the picked row, discovery sockets closed); each call returns
// when its dialog closes. A dialog copies what it acts on as it opens and never reads `values` again:
// rows still queued from the search arrive while it is open and overwrite them. Set IP writes back
// the adapter index it chose.
class RowDialogs {
public:
    virtual ~RowDialogs() = default;
    virtual void openSetIp(QWidget* parent, ProcessValues& values) = 0;
    virtual void openUpgrade(QWidget* parent, const ProcessValues& values) = 0;
};

} // namespace fw
