// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Host.h"
#include "platform/Shell.h"
#include "qt/FileChooser.h"
#include "qt/MessageBoxes.h"

namespace fw {

// Everything windows need from the operating system besides sockets (the engine's), handed to them
// by reference. main() builds the real one; GUI tests build one from fakes. The host is the same
// interface the command-line program reads.
struct Platform {
    MessageBoxes& messages;
    Shell& shell;
    Host& host;
    FileChooser& files;
};

} // namespace fw
