// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"

#include <windows.h>

namespace fw::win32 {

// Shows a message box as the logic describes it, modal to owner; returns the operator's answer.
MessageAnswer showMessage(HWND owner, const Message& message);

} // namespace fw::win32
