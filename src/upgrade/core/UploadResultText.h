// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/StringTable.h"
#include "upgrade/core/TftpUpload.h"

#include <cstdint>
#include <optional>

namespace fw {

// The string a transfer's result is told by, for the dialog's box and the command line alike:
// 25 on completion, 26 on a time-out, 201-208 for the device's error codes 0-7; none for the rest.
inline std::optional<std::uint16_t> uploadResultText(const TftpUpload::Result& result) {
    constexpr std::uint16_t kCodesWithText = 8;
    switch (result.outcome) {
    case TftpUpload::Outcome::Completed:
        return static_cast<std::uint16_t>(Str::TransmitFinish);
    case TftpUpload::Outcome::TimedOut:
        return static_cast<std::uint16_t>(Str::TimeOut);
    case TftpUpload::Outcome::DeviceError:
        if (result.deviceErrorCode && *result.deviceErrorCode < kCodesWithText) {
            return static_cast<std::uint16_t>(static_cast<std::uint16_t>(Str::TftpError0) +
                                              *result.deviceErrorCode);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace fw
