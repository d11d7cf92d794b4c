// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ProcessValues.h"
#include "win32/Win32Context.h"

namespace fw {
struct UploadCarryOver;
}

namespace fw::win32 {

// The upgrade dialog's Win32 view. run() is modal to owner and returns when the dialog closes; the
// main window has closed its discovery sockets and filled the hand-off values first.
class DownloadWindow {
public:
    static void run(HWND owner, const Win32Context& context, const ProcessValues& values,
                    UploadCarryOver& carry);
};

} // namespace fw::win32
