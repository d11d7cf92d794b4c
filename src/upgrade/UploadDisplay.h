#pragma once

#include "common/Message.h"
#include "upgrade/core/TftpUpload.h"

#include <string>

namespace fw {

// Where an upload shows itself: the upgrade dialog, or a command-line program's output.
class UploadDisplay {
public:
    virtual ~UploadDisplay() = default;
    virtual void setProgress(int value) = 0; // 0..100
    virtual void setLabel(const std::string& text) = 0;
    // Modal; returns when answered. Events keep running meanwhile.
    virtual void showMessage(const Message& message) = 0;
    // The transfer is over (its message, if any, has been answered); the display closes.
    virtual void uploadEnded(TftpUpload::Outcome outcome) = 0;
};

} // namespace fw
