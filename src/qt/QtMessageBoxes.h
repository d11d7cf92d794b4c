// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "qt/MessageBoxes.h"

namespace fw {

// Message boxes on screen, through QMessageBox. Escape or closing the box answers Cancel when the
// box has a Cancel button, else Ok.
class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(QWidget* parent, const Message& message) override;
};

} // namespace fw
