// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSetIp.h"

#include "cli/CliSearch.h"
#include "setip/core/FixedAddressCheck.h"

#include <algorithm>

namespace fw::cli {

bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console) {
    if (!command.address) {
        return false;
    }
    AdapterTable all;
    for (const AdapterFacts& f : listing.adapters) {
        all.push_back(AdapterEntry{f.ip, f.mask, f.gateway, f.mac, f.interfaceName, f.interfaceIndex});
    }
    const AdapterEntry* holder = adapterHolding(all, command.address->ip);
    if (holder != nullptr) {
        console.err(command.address->ip.toString() + " is this host's own address on " +
                    holder->interfaceName + ": a device given it would be cut off; nothing was sent");
    }
    return holder != nullptr;
}

CliSetIp::CliSetIp(EndpointFactory makeEndpoint, Console& console, QObject* parent)
    : QObject(parent), console_(console),
      socket_(exchange_, makeEndpoint(), [this](const SetIpAnswer& a) { onAnswer(a); }) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CliSetIp::onTimeout);
}

bool CliSetIp::start(const SetIpCommand& command, const AdapterTable& adapters, const AdapterEntry& adapter) {
    command_ = command;
    copiesLeft_ = command.retries;
    const auto at = std::find(adapters.begin(), adapters.end(), adapter);
    exchange_.open(adapters, std::nullopt, at == adapters.end() ? 0 : static_cast<int>(at - adapters.begin()),
                   command.mac);
    if (!socket_.open(adapter)) {
        console_.err(portProblem(adapter, socket_.lastError()));
        return false;
    }
    exchange_.numberRequest();
    send();
    return true;
}

void CliSetIp::send() {
    if (command_.address) {
        exchange_.sendFixed(socket_, command_.address->ip, command_.address->mask, command_.address->gateway);
    } else {
        exchange_.sendDhcp(socket_);
    }
    timer_.start(command_.timeout);
}

void CliSetIp::onTimeout() {
    if (done_) {
        return;
    }
    if (copiesLeft_ > 0) {
        --copiesLeft_;
        send();
        return;
    }
    console_.err("no answer from " + formatMac(command_.mac) + " after " +
                 std::to_string(command_.retries + 1) + (command_.retries == 0 ? " request" : " requests"));
    finish(ExitStatus::NoAnswer);
}

void CliSetIp::onAnswer(const SetIpAnswer& answer) {
    if (done_) {
        return;
    }
    const bool ok = answer.result == SetIpResult::Done;
    console_.out(setIpAnswerMessage(answer).text);
    // The exchange sends its acknowledgement right after this returns; finishing is queued behind it.
    finish(ok ? ExitStatus::Ok : ExitStatus::Negative);
}

void CliSetIp::finish(ExitStatus status) {
    done_ = true;
    timer_.stop();
    QTimer::singleShot(0, this, [this, status] {
        socket_.close();
        emit finished(status);
    });
}

} // namespace fw::cli
