// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/DownloadWindow.h"

namespace fw::win32 {

void DownloadWindow::run(HWND, const Win32Context&, const ProcessValues&, UploadCarryOver&) {}

} // namespace fw::win32
