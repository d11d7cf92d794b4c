// SPDX-License-Identifier: GPL-3.0-or-later
// A device's answer to the upgrade handshake, read but never acted on.
#include "FuzzInput.h"
#include "upgrade/core/Handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> d(data, size);
    const auto answer = fw::readHandshakeAnswer(d);
    const bool shaped = size >= 5 && d[0] == 0xAA && d[1] == 0x55 && d[2] == 0x55 && d[3] == 0xAA;
    fw::fuzz::require(answer.has_value() == shaped, "an answer is the magic and a command byte");
    if (answer) {
        fw::fuzz::require(answer->command == d[4], "command is byte 4");
    }
    return 0;
}
