// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliVerifiedSetIp.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/CliSetIp.h"

#include <algorithm>

namespace fw::cli {
namespace {

// The first search waits as long as the window's countdown; later ones a second each, so a device
// that comes back is seen soon after.
constexpr std::chrono::milliseconds kCheckWait{3000};
constexpr std::chrono::milliseconds kVerifyWait{1000};

double seconds(std::chrono::milliseconds ms) {
    return static_cast<double>(ms.count()) / 1000.0;
}

std::string secondsText(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

} // namespace

CliVerifiedSetIp::CliVerifiedSetIp(Console& console, EndpointFactory makeEndpoint, SetIpCommand command,
                                   AdapterTable table, QObject* parent)
    : QObject(parent), console_(console), makeEndpoint_(std::move(makeEndpoint)),
      command_(std::move(command)), table_(std::move(table)) {}

CliSearch* CliVerifiedSetIp::searchFor(std::chrono::milliseconds wait,
                                       std::function<bool(const DeviceRow&)> stopWhen) {
    // Keyed by MAC: a device that shares an address with another is still seen.
    auto* search = new CliSearch(makeEndpoint_, table_, this, DiscoverySearch::Keying::MacAndAdapter);
    search->start(wait, std::move(stopWhen));
    return search;
}

bool CliVerifiedSetIp::sent(const CliSearch& search) {
    // Said once: a watch beside this command may hold the port during several of its searches.
    for (const auto& failure : search.bindFailures()) {
        if (const std::string problem = portProblem(failure.adapter, failure.error);
            said_.insert(problem).second) {
            console_.err(problem);
        }
    }
    if (search.requestsSent() == 0) {
        console_.err("no discovery request could be sent");
        finish(ExitStatus::Usage);
        return false;
    }
    return true;
}

bool CliVerifiedSetIp::wanted(const DeviceRow& row) const {
    return row.mac == command_.mac && (!command_.address || row.ip == command_.address->ip);
}

void CliVerifiedSetIp::start() {
    const MacAddress mac = command_.mac;
    const std::optional<Ipv4> ip = command_.address ? std::optional(command_.address->ip) : std::nullopt;
    // Ends early once another device is seen on the address: that settles the refusal.
    auto* search =
        searchFor(kCheckWait, [mac, ip](const DeviceRow& r) { return ip && r.ip == *ip && r.mac != mac; });
    connect(search, &CliSearch::finished, this, [this, search] {
        search->deleteLater();
        checked(*search);
    });
}

void CliVerifiedSetIp::checked(const CliSearch& search) {
    if (!sent(search)) {
        return;
    }
    const auto& rows = search.rows();
    if (command_.address) {
        const auto taken = std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) {
            return r.ip == command_.address->ip && r.mac != command_.mac;
        });
        if (taken != rows.end()) {
            const std::string who = command_.address->ip.toString() + " is taken: " + formatMac(taken->mac) +
                                    " answers from it on " + adapterName(table_, taken->adapterIp);
            if (!command_.force) {
                console_.err(who + "; give --force to set it anyway");
                finish(ExitStatus::Usage);
                return;
            }
            console_.err(who + "; setting it anyway (--force)");
        }
    }
    const auto device =
        std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == command_.mac; });
    const AdapterEntry* adapter = &table_.front();
    if (device != rows.end()) {
        const auto it = std::find_if(table_.begin(), table_.end(),
                                     [&](const AdapterEntry& e) { return e.ip == device->adapterIp; });
        adapter = it == table_.end() ? adapter : &*it;
    } else if (table_.size() > 1) {
        console_.err("no device with MAC " + formatMac(command_.mac) +
                     " answered a search; name its adapter with --interface");
        finish(ExitStatus::NoAnswer);
        return;
    }
    auto* setIp = new CliSetIp(makeEndpoint_, console_, this);
    connect(setIp, &CliSetIp::finished, this, [this, setIp](ExitStatus status) {
        setIp->deleteLater();
        if (status != ExitStatus::Ok) {
            finish(status);
            return;
        }
        sinceOk_.start();
        verify();
    });
    if (!setIp->start(command_, table_, *adapter)) {
        finish(ExitStatus::Usage);
    }
}

void CliVerifiedSetIp::verify() {
    const auto left = command_.verifyTimeout - std::chrono::milliseconds(sinceOk_.elapsed());
    auto* search = searchFor(std::clamp(left, std::chrono::milliseconds(1), kVerifyWait),
                             [this](const DeviceRow& r) { return wanted(r); });
    connect(search, &CliSearch::finished, this, [this, search] {
        search->deleteLater();
        verified(*search);
    });
}

void CliVerifiedSetIp::verified(const CliSearch& search) {
    if (!sent(search)) {
        return;
    }
    const auto& rows = search.rows();
    const auto back =
        std::find_if(rows.begin(), rows.end(), [this](const DeviceRow& r) { return wanted(r); });
    const double took = static_cast<double>(sinceOk_.elapsed()) / 1000.0;
    if (back != rows.end()) {
        console_.out("Verified: " + formatMac(back->mac) + " answers from " + back->ip.toString() + " on " +
                     adapterName(table_, back->adapterIp) + " after " + secondsText(took));
        finish(ExitStatus::Ok);
        return;
    }
    const auto seen =
        std::find_if(rows.begin(), rows.end(), [this](const DeviceRow& r) { return r.mac == command_.mac; });
    if (seen != rows.end()) {
        lastSeen_ = *seen;
    }
    if (sinceOk_.elapsed() < command_.verifyTimeout.count()) {
        verify();
        return;
    }
    const std::string mac = formatMac(command_.mac);
    if (lastSeen_) {
        console_.err(mac + " said OK but still answers from " + lastSeen_->ip.toString() + " after " +
                     secondsText(seconds(command_.verifyTimeout)));
    } else {
        console_.err(mac + " said OK but did not answer a search within " +
                     secondsText(seconds(command_.verifyTimeout)));
    }
    finish(ExitStatus::NotBack);
}

void CliVerifiedSetIp::finish(ExitStatus status) {
    if (!done_) {
        done_ = true;
        emit finished(status);
    }
}

} // namespace fw::cli
