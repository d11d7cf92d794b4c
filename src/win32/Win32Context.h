// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/EngineLink.h"
#include "guilink/UiPost.h"
#include "platform/Host.h"
#include "platform/Shell.h"
#include "win32/DpiApi.h"

#include <windows.h>

namespace fw::win32 {

// What every Win32 view is given: the module (for its resources and window classes), the host's
// facts, the shell, the engine, the GUI thread's queue for the engine's answers and the DPI functions.
struct Win32Context {
    HINSTANCE instance;
    Host& host;
    Shell& shell;
    EngineLink engine;
    UiQueue& queue;
    const DpiApi& dpi;
};

} // namespace fw::win32
