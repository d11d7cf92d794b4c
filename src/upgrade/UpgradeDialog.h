// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/JobPort.h"
#include "common/Message.h"
#include "common/PickedDevice.h"
#include "upgrade/UpgradeJob.h"

#include <memory>
#include <optional>
#include <string>

namespace fw {

// The upgrade dialog's behaviour, whatever draws it: pick an image (selection view), then watch it
// go (progress view). OK starts the upgrade job, which reads and checks the image on the engine's
// thread and uploads it when accepted; the dialog closes itself when the transfer ends. One upgrade per
// opening. Closing it at any point stops the engine's driver. It works on the device picked when it opened,
// whatever the window lists meanwhile. GUI thread only.
class UpgradeDialog {
public:
    class View {
    public:
        virtual std::string pathText() const = 0;
        virtual void setPathText(const std::string& path) = 0;
        virtual void focusPathBox() = 0;
        virtual void focusOk() = 0;
        // The open-file dialog for images; none when the operator cancelled. May run a modal loop.
        virtual std::optional<std::string> chooseImage() = 0;
        // A message box, modal to the dialog. May run a modal loop, in which the dialog may close.
        virtual MessageAnswer showMessage(const Message& message) = 0;
        // Path box and OK hidden, bar and percent label shown; the focus off Cancel, so that a key
        // meant for something else cannot reach it.
        virtual void showProgressView() = 0;
        virtual void setBar(int value) = 0;
        virtual void setPercent(const std::string& text) = 0;
        // Closes the dialog; its toolkit calls closing() on the way.
        virtual void closeDialog(bool accepted) = 0;

    protected:
        ~View() = default;
    };

    // What the dialog is opened with, as it stood then: rows listed while it is open do not move it.
    struct Opening {
        PickedDevice device;
        DeviceKind kind = DeviceKind::Bridge; // for the image check
        std::optional<Ipv4> localAdapterIp;   // our address on the adapter the device answered on
    };

    UpgradeDialog(View& view, JobPort<UpgradeJob>& job, Opening opening);
    ~UpgradeDialog(); // stops the upgrade
    UpgradeDialog(const UpgradeDialog&) = delete;
    UpgradeDialog& operator=(const UpgradeDialog&) = delete;

    void browse(); // the path box's drop-down button
    void ok();     // OK, or Enter in the path box
    // Cancel, the close box or Alt+F4. While bytes go out it asks first: a device stopped half-way
    // may be left without working firmware.
    void cancel();
    void closing(); // the dialog closes, by any way
    // Enter anywhere but in the path box: the focused button in the selection view, nothing while a
    // transfer runs.
    void enterPressed(bool cancelFocused);
    // A stray Escape must not abort a flash half-way; it does nothing.
    static constexpr bool kEscapeCloses = false;
    // From the progress view until the transfer's end: the session must not end under it.
    bool transferRunning() const { return state_ == State::Progress; }
    // Names the device the dialog works on, under its controls.
    std::string deviceLine() const { return opening_.device.line(); }

private:
    enum class State { Selection, Checking, Progress, Ended, Closed };

    void startJob();
    void heard(const UpgradeJob::Event& event);
    void imageChecked(const ImageDecision& decision);
    void showProgress(const TftpUpload::Progress& progress);
    void ended(const UpgradeJob::Outcome& outcome);
    std::weak_ptr<int> life() const { return life_; }

    View& view_;
    JobPort<UpgradeJob>& job_;
    const Opening opening_;
    State state_ = State::Selection;
    std::optional<std::pair<int, std::string>> shown_;    // the bar and the label as last shown
    std::shared_ptr<int> life_ = std::make_shared<int>(); // expires with this object, seen across modal loops
};

} // namespace fw
