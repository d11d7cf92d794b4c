// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"

class QWidget;

namespace fw {

// Every message box of the program goes through here, so tests can answer them without a screen.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Modal to parent; returns when the operator has answered.
    virtual MessageAnswer show(QWidget* parent, const Message& message) = 0;
};

} // namespace fw
