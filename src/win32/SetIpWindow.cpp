// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/SetIpWindow.h"

namespace fw::win32 {

void SetIpWindow::run(HWND, const Win32Context&, ProcessValues&, SetIpExchange&) {}

} // namespace fw::win32
