// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"
#include "common/StringTable.h"
#include "upgrade/core/TftpUpload.h"
#include "upgrade/core/UploadResultText.h"

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

// The box a result shows (uploadResultText); nothing for a result without a text.
inline std::optional<Message> uploadResultMessage(const TftpUpload::Result& result) {
    const auto id = uploadResultText(result);
    if (!id) {
        return std::nullopt;
    }
    return Message{std::string(loadResString(*id)), std::string(loadResString(Str::Product)),
                   MessageIcon::None, MessageButtons::Ok};
}

} // namespace fw
