// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ProgressText.h"
#include "upgrade/UploadDisplay.h"
#include "upgrade/UploadDriver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

namespace fw::cli {

// One firmware upload by the upgrade dialog's driver (handshake, start sequence, TFTP), shown as a
// progress bar on a terminal or as plain lines otherwise. An acknowledgement out of sequence, on
// which the dialog would wait for Cancel, ends the upload here.
class CliUpgrade final : public QObject, private UploadDisplay {
    Q_OBJECT
public:
    // A label (one device of a rollout) goes before each progress line, and the result is a line of
    // diagnostics beginning with it instead of the command's result on stdout.
    CliUpgrade(EndpointFactory makeEndpoint, Shell& shell, Console& console, std::string label = {},
               QObject* parent = nullptr);

    // The image has passed the image check; the adapter (its name) is named when its port 14321
    // cannot be bound.
    void begin(Ipv4 device, Ipv4 local, const std::string& adapter, std::vector<std::uint8_t> image);

    // How it went, once finished: the outcome (None when stopped here), the transfer's counters and
    // the seconds since begin().
    TftpUpload::Outcome outcome() const { return result_ ? result_->outcome : TftpUpload::Outcome::None; }
    const TftpUpload::Counters& counters() const { return driver_.counters(); }
    double seconds() const { return static_cast<double>(sinceBegin_.elapsed()) / 1000; }
    // The terminal line of this upload in at most `width` columns: the device's preparation
    // countdown, then the bar.
    std::string progressView(int width) const;
    // The device's error in words, or why nothing could be sent (empty unless either).
    std::string errorText() const { return errorText_; }

signals:
    void finished(ExitStatus status);

private:
    // UploadDisplay
    void setProgress(int) override {}
    void setLabel(const std::string&) override {}
    void showResult(const TftpUpload::Result& result) override;
    void uploadEnded(TftpUpload::Outcome outcome) override;

    void render();
    void finish(ExitStatus status);
    UploadProgress progress() const;

    void say(const std::string& text, bool isResult);
    void complain(const std::string& text);

    Console& console_;
    std::string label_;
    std::string errorText_;
    std::string where_; // "UDP port 14321 on eth0 (10.77.1.1)"
    UploadCarryOver carry_;
    UploadDriver driver_;
    QTimer refresh_;
    QElapsedTimer sinceBegin_;
    QElapsedTimer sinceTransfer_;
    std::uint64_t total_ = 0;
    int lastLinePercent_ = -1;
    std::optional<TftpUpload::Result> result_;
    bool finished_ = false;
};

} // namespace fw::cli
