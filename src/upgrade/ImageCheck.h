// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/ImageFile.h"
#include "common/Message.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

struct ImageDecision {
    enum class Kind {
        Accept,
        Refuse,  // show message; the selection view stays
        Confirm, // ask message (OK/Cancel); Cancel refuses, any other answer accepts
    };
    Kind kind = Kind::Refuse;
    Message message;           // empty for Accept
    bool focusPathBox = false; // after the message, the path box takes the keyboard focus
};

// The checks in order: a path was typed, a file is there, it can be read, the block counter can
// carry it, and it holds the marker of the selected device's kind ("AP Config" for an access
// point, "Bridge Config" otherwise) anywhere, in any letter case.
ImageDecision checkImage(std::string_view pathText, const ImageFile& file, DeviceKind kind);

// Case-insensitive (ASCII letters) search of the marker anywhere in the bytes.
bool containsMarker(std::span<const std::uint8_t> bytes, std::string_view marker);

} // namespace fw
