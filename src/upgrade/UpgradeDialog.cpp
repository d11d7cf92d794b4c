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
std::optional<Message> endMessage(const TftpUpload::Result& result,
                                  const std::optional<UpgradePort::PortFault>& fault,
                                  const std::optional<Ipv4>& local) {
    if (result.outcome == TftpUpload::Outcome::PortUnavailable) {
        // Not "Time Out": nothing was sent, and the user can free the port and try again.
        const bool taken = fault && fault->inUse;
        const std::string reason = fault ? fault->reason : std::string();
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

UpgradeDialog::UpgradeDialog(View& view, UpgradePort& port, const ProcessValues& values)
    : view_(view), port_(port), values_(values) {}

UpgradeDialog::~UpgradeDialog() {
    port_.stop();
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
    // Reading and searching an image of up to 16 MiB takes a while: the engine's thread does it.
    port_.checkImage(view_.pathText(), values_.selectedDeviceKind,
                     [this](const ImageDecision& decision, std::vector<std::uint8_t> image) {
                         imageChecked(decision, std::move(image));
                     });
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
        port_.stop();
    }
}

void UpgradeDialog::imageChecked(const ImageDecision& decision, std::vector<std::uint8_t> image) {
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
            return;
        }
    }
    startUpgrade(std::move(image));
}

void UpgradeDialog::startUpgrade(std::vector<std::uint8_t> image) {
    state_ = State::Progress;
    view_.showProgressView();
    view_.setBar(0);
    view_.setPercent("0%");
    UpgradePort::Callbacks callbacks;
    callbacks.progressed = [this](const UpgradePort::Shown& shown) {
        if (state_ == State::Progress) {
            view_.setBar(shown.bar);
            view_.setPercent(shown.label);
        }
    };
    callbacks.ended = [this](const TftpUpload::Result& result,
                             const std::optional<UpgradePort::PortFault>& fault) {
        ended(result, fault);
    };
    port_.start(values_.selectedDeviceIp, values_.localAdapterIp, std::move(image), std::move(callbacks));
}

// The transfer is over: its message, then the dialog closes. A cancelled one finds it closed.
void UpgradeDialog::ended(const TftpUpload::Result& result,
                          const std::optional<UpgradePort::PortFault>& fault) {
    if (state_ == State::Closed) {
        return;
    }
    state_ = State::Ended; // nothing left to stop: Cancel and closing no longer ask
    const auto alive = life();
    if (const auto message = endMessage(result, fault, values_.localAdapterIp)) {
        view_.showMessage(*message);
    }
    if (!alive.expired()) {
        view_.closeDialog(result.outcome == TftpUpload::Outcome::Completed);
    }
}

} // namespace fw
