// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/UpgradeDialog.h"

#include "common/StringTable.h"
#include "upgrade/UploadResultText.h"

namespace fw {
namespace {

Message productMessage(std::string text, MessageIcon icon = MessageIcon::None) {
    return Message{std::move(text), std::string(loadResString(Str::Product)), icon, MessageButtons::Ok};
}

// The box a transfer's end shows; nothing for a result without a text (Cancelled).
std::optional<Message> endMessage(const TftpUpload::Result& result, const std::optional<SocketError>& fault,
                                  const std::optional<Ipv4>& local) {
    if (result.outcome == TftpUpload::Outcome::PortUnavailable) {
        // Not "Time Out": nothing was sent, and the user can free the port and try again.
        const bool taken = fault && fault->kind == SocketError::Kind::PortInUse;
        const std::string reason = fault ? fault->code.message() : std::string();
        return productMessage(
            std::string(loadResString(taken ? Str::UploadPortInUse : Str::UploadPortUnusable)) + " " +
                toText(local) + (taken ? "." : ": " + reason),
            MessageIcon::Exclamation);
    }
    auto text = uploadResultText(result);
    if (!text) {
        return std::nullopt;
    }
    return productMessage(std::move(*text));
}

} // namespace

UpgradeDialog::UpgradeDialog(View& view, JobPort<UpgradeJob>& job, Opening opening)
    : view_(view), job_(job), opening_(std::move(opening)) {}

UpgradeDialog::~UpgradeDialog() {
    job_.cancel();
}

void UpgradeDialog::browse() {
    if (state_ != State::Selection) {
        return;
    }
    view_.focusOk();
    const auto alive = life();
    const auto chosen = view_.chooseImage();
    if (alive.expired() || state_ != State::Selection || !chosen) {
        return; // cancelled: the path box keeps its text
    }
    view_.setPathText(*chosen);
}

void UpgradeDialog::ok() {
    if (state_ != State::Selection) {
        return; // one upgrade per opening
    }
    state_ = State::Checking;
    startJob();
}

// Reading and searching an image of up to 16 MiB takes a while: the engine's thread does it, and
// keeps the bytes for the upload.
void UpgradeDialog::startJob() {
    UpgradeJob::Request request{opening_.device.ip, opening_.localAdapterIp,
                                UpgradeJob::ImageAt{view_.pathText(), opening_.kind}};
    job_.start(std::move(request), {[this](std::vector<UpgradeJob::Event> events) {
                                        for (const auto& event : events) {
                                            heard(event);
                                        }
                                    },
                                    [this](const UpgradeJob::Outcome& outcome) {
                                        ended(outcome);
                                    }});
}

void UpgradeDialog::heard(const UpgradeJob::Event& event) {
    if (const auto* checked = std::get_if<UpgradeJob::Checked>(&event)) {
        imageChecked(checked->decision);
    } else if (const auto* progress = std::get_if<TftpUpload::Progress>(&event)) {
        showProgress(*progress);
    }
}

void UpgradeDialog::cancel() {
    if (state_ == State::Progress) {
        const Message question{std::string(loadResString(Str::StopUpgradeQuestion)),
                               std::string(loadResString(Str::Product)), MessageIcon::Exclamation,
                               MessageButtons::OkCancel, true};
        const auto alive = life();
        const MessageAnswer answer = view_.showMessage(question);
        if (alive.expired() || state_ != State::Progress || answer != MessageAnswer::Ok) {
            return; // kept going, or ended while the question was open
        }
    }
    view_.closeDialog(false);
}

void UpgradeDialog::enterPressed(bool cancelFocused) {
    if (state_ == State::Progress || state_ == State::Ended) {
        return;
    }
    if (cancelFocused) {
        cancel();
    } else {
        ok();
    }
}

// The timer stops and both sockets close before the engine runs anything posted later: nothing is
// sent after this.
void UpgradeDialog::closing() {
    if (state_ != State::Closed) {
        state_ = State::Closed;
        job_.cancel();
    }
}

void UpgradeDialog::imageChecked(const ImageDecision& decision) {
    if (state_ != State::Checking) {
        return; // closed meanwhile
    }
    if (decision.kind != ImageDecision::Kind::Accept) {
        const auto alive = life();
        const MessageAnswer answer = view_.showMessage(decision.message);
        if (alive.expired() || state_ == State::Closed) {
            return; // closed while the message box was open
        }
        if (decision.focusPathBox) {
            view_.focusPathBox();
        }
        if (decision.kind == ImageDecision::Kind::Refuse || answer == MessageAnswer::Cancel) {
            state_ = State::Selection;
            job_.cancel(); // a question's job waits for the answer
            return;
        }
        job_.command(UpgradeJob::Go{}); // the job waits with the bytes it read
    }
    state_ = State::Progress;
    shown_.reset();
    view_.showProgressView();
    showProgress({});
}

// The counters change with every block, the bar and the label about once in 328 blocks of the
// largest image: only their changes reach the view.
void UpgradeDialog::showProgress(const TftpUpload::Progress& progress) {
    std::pair<int, std::string> now{progress.bar, progress.label()};
    if (state_ != State::Progress || shown_ == now) {
        return;
    }
    view_.setBar(now.first);
    view_.setPercent(now.second);
    shown_ = std::move(now);
}

// The transfer is over: its message, then the dialog closes. A cancelled one finds it closed; a run
// whose image was not accepted has been answered by its verdict.
void UpgradeDialog::ended(const UpgradeJob::Outcome& outcome) {
    if (state_ != State::Progress) {
        return;
    }
    state_ = State::Ended; // nothing left to stop: Cancel and closing no longer ask
    const auto alive = life();
    if (const auto message = endMessage(outcome.result, outcome.portError, opening_.localAdapterIp)) {
        view_.showMessage(*message);
    }
    if (!alive.expired()) {
        view_.closeDialog(outcome.result.outcome == TftpUpload::Outcome::Completed);
    }
}

} // namespace fw
