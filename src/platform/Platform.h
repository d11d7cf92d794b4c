// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AdapterSource.h"
#include "platform/FileChooser.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"

namespace fw {

// Everything windows need from the operating system besides sockets (the engine's), handed to them
// by reference. main() builds the real one; GUI tests build one from fakes.
struct Platform {
    MessageBoxes& messages;
    Shell& shell;
    AdapterSource& adapters;
    FileChooser& files;
};

} // namespace fw
