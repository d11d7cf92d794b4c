// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpDialog.h"

#include "common/StringTable.h"
#include "setip/SetIpAnswerText.h"

#include <algorithm>
#include <utility>

namespace fw {
namespace {

Message productBox(std::string text, MessageIcon icon) {
    return Message{std::move(text), std::string(loadResString(Str::Product)), icon};
}

// The adapter's own address with its last number + 1, held at 255.
Ipv4 nextAddress(Ipv4 own) {
    own.octets[3] = static_cast<std::uint8_t>(std::min(own.octets[3] + 1, 255));
    return own;
}

} // namespace

SetIpDialog::SetIpDialog(View& view, JobPort<SetIpJob>& job, Opening opening)
    : view_(view), job_(job), opening_(std::move(opening)) {}

SetIpDialog::~SetIpDialog() {
    closed();
}

void SetIpDialog::start() {
    const int index =
        SetIpExchange::chooseAdapter(opening_.adapters, opening_.localAdapterIp, opening_.adapterIndex);
    opening_.adapterIndex = index;
    job_.start({opening_.adapters, index, opening_.device.mac, std::nullopt, std::nullopt},
               {[this](std::vector<SetIpJob::Event> events) {
                    for (const auto& event : events) {
                        if (const auto* answer = std::get_if<SetIpJob::Answer>(&event)) {
                            answered(*answer);
                        } else {
                            bindFailed(std::get<SocketError>(event));
                        }
                    }
                },
                {}});
    open_ = true;
    view_.setEntriesEnabled(false);
    view_.checkOption(Option::Dhcp);
    choose(Option::Dhcp);
}

void SetIpDialog::optionChosen(Option option) {
    if (option != option_) {
        choose(option);
    }
}

void SetIpDialog::choose(Option option) {
    option_ = option;
    if (option == Option::Dhcp) {
        view_.setEntriesEnabled(false); // what was typed stays
        return;
    }
    view_.setEntriesEnabled(true);
    const AdapterTable& adapters = opening_.adapters;
    if (adapters.empty()) {
        return;
    }
    // Coming back to it from DHCP refills all three, replacing what was typed.
    const AdapterEntry& e = adapters[static_cast<std::size_t>(opening_.adapterIndex)];
    view_.setEntry(Entry::Address, nextAddress(e.ip.value_or(Ipv4::any())).toString()); // none reads 0.0.0.0
    view_.setEntry(Entry::Mask, toText(e.mask));
    view_.setEntry(Entry::Gateway, toText(e.gateway));
}

// Every press uses up a request number, before anything is checked.
void SetIpDialog::okPressed() {
    if (!open_) {
        return;
    }
    if (option_ == Option::Dhcp) {
        job_.command(SetIpJob::Send{});
        return;
    }
    const std::string address = view_.entry(Entry::Address);
    const auto checked = checkFixedAddress(address, view_.entry(Entry::Mask), view_.entry(Entry::Gateway));
    if (!checked) {
        job_.command(SetIpJob::UseNumber{});
        view_.showMessage(notValidIpMessage(checked.error().typed));
        return;
    }
    // A device given any of our own addresses would be cut off; the adapters are the last search's.
    const AdapterEntry* holder = adapterHolding(opening_.hostAdapters, checked->address);
    if (holder == nullptr) {
        holder = adapterHolding(opening_.adapters, checked->address);
    }
    if (holder != nullptr) {
        job_.command(SetIpJob::UseNumber{});
        view_.showMessage(productBox(address + " " + std::string(loadResString(Str::HostHoldsAddress)) + " " +
                                         holder->interfaceName,
                                     MessageIcon::Exclamation));
        return;
    }
    job_.command(SetIpJob::Send{*checked});
}

void SetIpDialog::exitPressed() {
    view_.closeWindow();
}

void SetIpDialog::closed() {
    if (open_) {
        open_ = false;
        job_.cancel();
    }
}

// Each answer is shown in a modal box; a done answer's acknowledgement leaves once it is closed.
// One that comes after the dialog closed (it was on its way) is neither shown nor acknowledged: the
// operator has left, and the port is released.
void SetIpDialog::answered(const SetIpJob::Answer& answer) {
    if (!open_) {
        return;
    }
    view_.showMessage(
        productBox(std::string(loadResString(setIpAnswerText(answer.answer))), MessageIcon::Information));
    if (open_ && answer.acknowledgement) {
        job_.command(*answer.acknowledgement);
    }
}

// Said once, or OK would look dead. Only EADDRINUSE means another program has the port; anything
// else (the adapter went away, say) gets the neutral text and the system's reason.
void SetIpDialog::bindFailed(const SocketError& failure) {
    const Str id = failure.kind == SocketError::Kind::PortInUse ? Str::PortInUse : Str::PortUnusable;
    view_.showMessage(
        productBox(std::string(loadResString(id)) + " " + failure.code.message(), MessageIcon::Exclamation));
}

} // namespace fw
