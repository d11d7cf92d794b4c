// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliUpgrade.h"

#include "common/StringTable.h"
#include "upgrade/core/TftpPackets.h"

#include <algorithm>
#include <cmath>

namespace fw::cli {
namespace {

// The start sequence before the second write request: eleven 1 s steps and two 1 s pauses.
constexpr double kStartSeconds = 13;
constexpr int kRefreshMs = 200;
constexpr int kLineStepPercent = 10;

} // namespace

CliUpgrade::CliUpgrade(EndpointFactory makeEndpoint, Shell& shell, Console& console, std::string label,
                       QObject* parent)
    : QObject(parent), console_(console), label_(std::move(label)),
      driver_(std::move(makeEndpoint), shell, carry_, *this) {
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &CliUpgrade::render);
    connect(&driver_, &UploadDriver::secondRequestSent, this, [this] {
        sinceTransfer_.start();
        if (!console_.progressOnTerminal()) {
            say("write request sent; uploading " + std::to_string(total_) + " bytes", false);
        }
    });
}

void CliUpgrade::begin(Ipv4 device, Ipv4 local, const std::string& adapter, std::vector<std::uint8_t> image) {
    total_ = image.size();
    where_ = "UDP port " + std::to_string(kTftpLocalPort) + " on " + adapter + " (" + local.toString() + ")";
    sinceBegin_.start();
    refresh_.start();
    driver_.begin(device, local, std::move(image));
    if (finished_) {
        return; // port 14321 could not be bound: said so, nothing sent
    }
    if (!console_.progressOnTerminal()) {
        say("handshake sent to " + device.toString() + "; preparing the device (about 13 s)", false);
    }
    render();
}

UploadProgress CliUpgrade::progress() const {
    const auto& c = driver_.counters();
    return {std::min(c.bytesAcknowledged, total_), total_,
            sinceTransfer_.isValid() ? static_cast<double>(sinceTransfer_.elapsed()) / 1000 : 0,
            c.retransmissions, c.timeouts};
}

// A rollout runs several uploads: each line names its device, and results are diagnostics there.
void CliUpgrade::say(const std::string& text, bool isResult) {
    if (label_.empty()) {
        if (isResult) {
            console_.out(text);
        } else {
            console_.note(text);
        }
        return;
    }
    console_.note(label_ + ": " + text);
}

void CliUpgrade::render() {
    if (finished_) {
        return;
    }
    if (driver_.phase() == TftpUpload::Phase::Stalled) {
        // ERROR 0 has gone to the device; the window would wait for Cancel, a script cannot.
        driver_.stop();
        result_ = TftpUpload::Result{TftpUpload::Outcome::PeerFault, std::nullopt};
        errorText_ = std::string(loadResString(Str::TftpError0)) +
                     " The device acknowledged a block that was not sent; the upload was stopped.";
        complain(errorText_);
        finish(ExitStatus::Negative);
        return;
    }
    const bool transferring = sinceTransfer_.isValid();
    if (console_.progressOnTerminal()) {
        if (label_.empty()) {
            console_.progress(progressView(console_.width() - 1));
        }
        return; // a rollout draws the line of all its uploads
    }
    if (transferring) {
        const int percent = percentOf(progress());
        if (percent / kLineStepPercent != lastLinePercent_ / kLineStepPercent || lastLinePercent_ < 0) {
            lastLinePercent_ = percent;
            say(progressLine(progress()), false);
        }
    }
}

std::string CliUpgrade::progressView(int width) const {
    if (!sinceTransfer_.isValid()) {
        const double left = std::max(0.0, kStartSeconds - static_cast<double>(sinceBegin_.elapsed()) / 1000);
        return "preparing the device: " + std::to_string(static_cast<int>(std::ceil(left))) + " s";
    }
    return progressBar(progress(), width);
}

void CliUpgrade::showResult(const TftpUpload::Result& result) {
    result_ = result;
}

void CliUpgrade::uploadEnded(TftpUpload::Outcome outcome) {
    if (finished_) {
        return;
    }
    const auto message = result_ ? uploadResultMessage(*result_) : std::nullopt;
    const std::string text = message ? message->text : std::string();
    switch (outcome) {
    case TftpUpload::Outcome::Completed:
        if (console_.progressOnTerminal() && label_.empty()) {
            console_.progress(progressBar(progress(), console_.width() - 1));
        } else {
            say(progressLine(progress()), false);
        }
        say(text, true);
        finish(ExitStatus::Ok);
        return;
    case TftpUpload::Outcome::TimedOut:
        complain(text);
        finish(ExitStatus::NoAnswer);
        return;
    case TftpUpload::Outcome::DeviceError:
        errorText_ = text.empty() ? "the device ended the upload with an error of its own" : text;
        complain(errorText_);
        finish(ExitStatus::Negative);
        return;
    case TftpUpload::Outcome::PeerFault:
        errorText_ =
            "the device answered with a packet that has no place in an upload; the upload was stopped";
        complain(errorText_);
        finish(ExitStatus::Negative);
        return;
    case TftpUpload::Outcome::PortUnavailable: {
        const std::error_code error = driver_.transferPortError();
        errorText_ = error == std::errc::address_in_use
                         ? where_ + " is in use by another program; nothing was sent"
                         : "cannot use " + where_ + ": " + error.message() + "; nothing was sent";
        complain(errorText_);
        finish(ExitStatus::Usage);
        return;
    }
    case TftpUpload::Outcome::Cancelled:
    case TftpUpload::Outcome::None:
        break;
    }
    complain("the upload ended without a result");
    finish(ExitStatus::Negative);
}

void CliUpgrade::complain(const std::string& text) {
    console_.err(label_.empty() ? text : label_ + ": " + text);
}

void CliUpgrade::finish(ExitStatus status) {
    finished_ = true;
    refresh_.stop();
    console_.endProgress();
    // Out of the driver's call stack: the driver is still running the handler that ended it.
    QTimer::singleShot(0, this, [this, status] {
        driver_.stop();
        emit finished(status);
    });
}

} // namespace fw::cli
