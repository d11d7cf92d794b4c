// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSearch.h"

#include "discovery/core/DiscoveryRecords.h"

namespace fw::cli {

CliSearch::CliSearch(EndpointFactory makeEndpoint, AdapterTable adapters, QObject* parent,
                     DiscoverySearch::Keying keying)
    : QObject(parent), makeEndpoint_(std::move(makeEndpoint)), search_(*this, keying) {
    values_.adapterTable = std::move(adapters);
    wait_.setSingleShot(true);
    connect(&wait_, &QTimer::timeout, this, &CliSearch::finish);
}

CliSearch::~CliSearch() {
    for (auto& s : sockets_) {
        s->close();
    }
}

void CliSearch::start(std::chrono::milliseconds wait, std::function<bool(const DeviceRow&)> stopWhen) {
    stopWhen_ = std::move(stopWhen);
    search_.begin();
    for (const AdapterEntry& adapter : values_.adapterTable) {
        auto socket = makeEndpoint_();
        DatagramEndpoint* raw = socket.get();
        connect(raw, &DatagramEndpoint::datagramsReady, this, [this, raw] { readPending(raw); });
        socket->setRemote(Ipv4::broadcast(), kDevicePort);
        if (!socket->bindToAdapter(adapter, kWorkstationPort)) {
            bindFailures_.push_back({adapter, socket->lastError()});
        } else if (socket->send(search_.requestFor(adapter))) {
            ++requestsSent_;
        }
        sockets_.push_back(std::move(socket));
    }
    wait_.start(wait);
}

void CliSearch::rowListed(const DeviceRow& row) {
    rows_.push_back(row);
    if (stopWhen_ && stopWhen_(row)) {
        stopRequested_ = true;
    }
}

void CliSearch::readPending(DatagramEndpoint* socket) {
    while (!done_ && socket->isOpen()) {
        const auto d = socket->read();
        if (!d) {
            break;
        }
        search_.onDatagram(d->bytes, d->senderIp, socket->localAddress());
    }
    if (stopRequested_ && !done_) {
        // From the event loop, not from inside the socket's own notification.
        QTimer::singleShot(0, this, &CliSearch::finish);
    }
}

void CliSearch::finish() {
    if (done_) {
        return;
    }
    done_ = true;
    wait_.stop();
    for (auto& s : sockets_) {
        s->close();
    }
    emit finished();
}

std::string portProblem(const AdapterEntry& adapter, std::error_code error) {
    const std::string where = "UDP port 4001 on " + adapter.interfaceName + " (" + toText(adapter.ip) + ")";
    if (error == std::errc::address_in_use) {
        return where + " is in use by another program";
    }
    return "cannot use " + where + ": " + error.message();
}

} // namespace fw::cli
