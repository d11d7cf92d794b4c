// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Latin1.h"
#include "common/StringTable.h"
#include "upgrade/TftpUpload.h"

#include <cstdint>
#include <optional>
#include <string>

namespace fw {

// The message of a device's ERROR packet, fit to show: its 8-bit text as UTF-8, with control
// characters (a terminal would act on them) as '?'. Empty when the device sent none.
inline std::string deviceErrorText(const TftpUpload::Result& result) {
    std::string shown = result.deviceErrorText;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            c = '?';
        }
    }
    return latin1ToUtf8(shown);
}

// The words a transfer's result is told by, for the dialog's box and the command line alike:
// string 25 on completion, 26 on a time-out, 202-208 for the device's error codes 1-7. Code 0 means
// "not defined, see the message" (RFC 1350): the device's own message is shown, and string 201 only
// when it sent none. None for the rest.
inline std::optional<std::string> uploadResultText(const TftpUpload::Result& result) {
    constexpr std::uint16_t kCodesWithText = 8;
    switch (result.outcome) {
    case TftpUpload::Outcome::Completed:
        return std::string(loadResString(Str::TransmitFinish));
    case TftpUpload::Outcome::TimedOut:
        return std::string(loadResString(Str::TimeOut));
    case TftpUpload::Outcome::DeviceError:
        if (result.deviceErrorCode == 0 && !deviceErrorText(result).empty()) {
            return deviceErrorText(result);
        }
        if (result.deviceErrorCode && *result.deviceErrorCode < kCodesWithText) {
            return std::string(loadResString(static_cast<std::uint16_t>(
                static_cast<std::uint16_t>(Str::TftpError0) + *result.deviceErrorCode)));
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace fw
