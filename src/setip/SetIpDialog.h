// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/JobPort.h"
#include "common/Message.h"
#include "common/PickedDevice.h"
#include "setip/SetIpJob.h"

#include <optional>
#include <string>

namespace fw {

// What the Set IP dialog does, whatever draws it: a fixed address with mask and gateway, or DHCP,
// for the device picked in the main list (its MAC). Opens with DHCP selected; the
// static option proposes the local adapter's address with its last number + 1. OK sends one
// request; the device's answer comes as a message box, and a done answer's acknowledgement leaves
// once that box is closed; the dialog stays open until Exit. It works on the device picked when it
// opened, whatever the window lists meanwhile; it hands back only the adapter index it chose.
class SetIpDialog final {
public:
    enum class Entry { Address, Mask, Gateway };
    enum class Option { Static, Dhcp };

    class View {
    public:
        virtual void setEntriesEnabled(bool enabled) = 0;
        virtual void setEntry(Entry entry, const std::string& address) = 0;
        virtual std::string entry(Entry entry) const = 0;     // the control's ipAddress as it stands
        virtual void checkOption(Option option) = 0;          // shows it checked; the logic has chosen it
        virtual void showMessage(const Message& message) = 0; // modal; returns once closed
        virtual void closeWindow() = 0;                       // the view then calls closed()

    protected:
        ~View() = default;
    };

    // What the dialog is opened with, as it stood then: rows listed while it is open do not move it.
    struct Opening {
        PickedDevice device;                // its MAC is what the requests go to
        std::optional<Ipv4> localAdapterIp; // our address on the adapter the device answered on
        AdapterTable adapters;              // the last search's
        AdapterTable hostAdapters;          // every adapter of this host, searched on or not
        int adapterIndex = 0;               // chosen at the last opening, 0 at the first
    };

    SetIpDialog(View& view, JobPort<SetIpJob>& job, Opening opening);
    ~SetIpDialog();
    SetIpDialog(const SetIpDialog&) = delete;
    SetIpDialog& operator=(const SetIpDialog&) = delete;

    // Once the view's controls exist: opens the session (the exchange, port 4001), selects DHCP.
    void start();

    // Choosing the option already chosen does nothing.
    void optionChosen(Option option);
    void okPressed();
    void exitPressed();
    // Neither button is the cancel button: Escape leaves the dialog open.
    static constexpr bool escapeCloses = false;
    // The window is going, by Exit or its close button.
    void closed();
    // The line that names the device the dialog acts on, under its controls.
    std::string deviceLine() const { return opening_.device.line(); }
    // The adapter the dialog talks through, chosen at start(); the next opening starts from it.
    int adapterIndex() const { return opening_.adapterIndex; }

private:
    void choose(Option option);
    void answered(const SetIpJob::Answer& answer);
    void bindFailed(const SocketError& failure);

    View& view_;
    JobPort<SetIpJob>& job_;
    Opening opening_;
    Option option_ = Option::Dhcp;
    bool open_ = false;
};

} // namespace fw
