// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// What the glue found at the path, read once: these very bytes are the ones uploaded.
struct ImageFile {
    enum class State {
        Missing,    // nothing at the path
        Unreadable, // a directory, a device node, no permission, a read error
        Read,       // bytes holds the file (at most kTftpMaxImageBytes + 1 of it)
    };
    State state = State::Missing;
    std::vector<std::uint8_t> bytes;
    std::string reason; // Unreadable: the system's reason ("Permission denied", "Is a directory")
};

} // namespace fw
