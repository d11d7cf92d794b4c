// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"
#include "common/StringTable.h"
#include "upgrade/core/TftpUpload.h"

#include <optional>
#include <string>

namespace fw {

// Where an upload shows itself: the upgrade dialog, or a command-line program's output.
class UploadDisplay {
public:
    virtual ~UploadDisplay() = default;
    virtual void setProgress(int value) = 0; // 0..100
    virtual void setLabel(const std::string& text) = 0;
    // How the transfer ended; a dialog's message box is modal and events keep running meanwhile.
    virtual void showResult(const TftpUpload::Result& result) = 0;
    // The transfer is over (its result has been shown); the display closes.
    virtual void uploadEnded(TftpUpload::Outcome outcome) = 0;
};

// The box a result shows: string 25 on completion, 26 on a time-out, 201-208 for the device's
// error codes 0-7; nothing for the rest.
inline std::optional<Message> uploadResultMessage(const TftpUpload::Result& result) {
    constexpr std::uint16_t kCodesWithText = 8;
    std::optional<std::uint16_t> id;
    switch (result.outcome) {
    case TftpUpload::Outcome::Completed:
        id = static_cast<std::uint16_t>(Str::TransmitFinish);
        break;
    case TftpUpload::Outcome::TimedOut:
        id = static_cast<std::uint16_t>(Str::TimeOut);
        break;
    case TftpUpload::Outcome::DeviceError:
        if (result.deviceErrorCode && *result.deviceErrorCode < kCodesWithText) {
            id = static_cast<std::uint16_t>(static_cast<std::uint16_t>(Str::TftpError0) +
                                            *result.deviceErrorCode);
        }
        break;
    default:
        break;
    }
    if (!id) {
        return std::nullopt;
    }
    return Message{std::string(loadResString(*id)), std::string(loadResString(Str::Product)),
                   MessageIcon::None, MessageButtons::Ok};
}

} // namespace fw
