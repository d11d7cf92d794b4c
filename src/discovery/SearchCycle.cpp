// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SearchCycle.h"

#include "common/StringTable.h"
#include "discovery/DeviceListModel.h"
#include "discovery/SearchingDialog.h"

#include <QTimer>

namespace fw {
namespace {

// Datagrams handled per wake-up; the rest wait for the next turn of the event loop, so a flood
// of replies cannot freeze the window.
constexpr int kReadBatch = 256;

std::string text(Str id) {
    return std::string(loadResString(id));
}

} // namespace

SearchCycle::SearchCycle(Platform& platform, ProcessValues& values, DeviceListModel& model,
                         QWidget* dialogParent, QObject* parent)
    : QObject(parent), platform_(platform), values_(values), model_(model), dialogParent_(dialogParent),
      search_(*this) {}

SearchCycle::~SearchCycle() {
    delete dialog_.data();
    closeDiscoverySockets();
}

void SearchCycle::search() {
    search_.begin(); // new sequence number, no reply counted, no sender known
    model_.clear();

    // Instance 0 stays, open or closed, with whatever binding it has; the others are made anew.
    while (sockets_.size() > 1) {
        discardSocket(sockets_.back());
        sockets_.pop_back();
    }

    AdapterSelection selection = platform_.adapters.enumerateAdapters();
    if (selection.outcome == AdapterOutcome::Ok && selection.table.empty()) {
        selection.outcome = AdapterOutcome::NoAdapter;
    }
    if (selection.outcome != AdapterOutcome::Ok) {
        failAdapters(selection.outcome);
        return;
    }
    if (selection.table.size() > kMaxAdapters) {
        selection.table.resize(kMaxAdapters);
    }
    values_.adapterTable = std::move(selection.table);
    while (sockets_.size() < values_.adapterTable.size()) {
        sockets_.emplace_back(makeSocket());
    }

    emit searchStarted();
    const auto portsInUse = openDiscoverySockets();
    sendDiscovery();
    if (!dialog_) {
        startCountdown();
    }
    reportPortsInUse(portsInUse);
}

bool SearchCycle::countdownRunning() const {
    return !dialog_.isNull();
}

void SearchCycle::closeDiscoverySockets() {
    for (const auto& socket : sockets_) {
        if (socket) {
            socket->close();
        }
    }
}

std::int16_t SearchCycle::searchSequence() const {
    return search_.sequence();
}

void SearchCycle::rowListed(const DeviceRow& row) {
    model_.appendRow(row);
    emit rowAdded(model_.rowCount() - 1);
}

void SearchCycle::failAdapters(AdapterOutcome outcome) {
    const Str id = outcome == AdapterOutcome::StatusError ? Str::AdapterStatusError : Str::NoAdapter;
    platform_.messages.show(
        dialogParent_, Message{text(id), text(Str::Product), MessageIcon::None, MessageButtons::Ok, false});
    emit adapterFailure(outcome);
}

std::vector<const AdapterEntry*> SearchCycle::openDiscoverySockets() {
    std::vector<const AdapterEntry*> portsInUse;
    for (std::size_t i = 0; i < sockets_.size() && i < values_.adapterTable.size(); ++i) {
        DatagramEndpoint* socket = sockets_[i];
        if (socket == nullptr || socket->isOpen()) {
            continue;
        }
        socket->setRemote(Ipv4::broadcast(), kDevicePort);
        // A socket that cannot be bound is skipped and the search goes on.
        const AdapterEntry& adapter = values_.adapterTable[i];
        if (!socket->bindToAdapter(adapter, kWorkstationPort) &&
            socket->lastError() == std::errc::address_in_use) {
            portsInUse.push_back(&adapter);
        }
    }
    return portsInUse;
}

// Another program on port 4001 would take the devices' answers on that adapter: without a word the
// empty list would read as "no devices there".
void SearchCycle::reportPortsInUse(const std::vector<const AdapterEntry*>& adapters) {
    if (adapters.empty()) {
        return;
    }
    std::string lines;
    for (const AdapterEntry* adapter : adapters) {
        if (!lines.empty()) {
            lines += '\n';
        }
        lines += adapter->interfaceName + " (" + toText(adapter->ip) + "): " + text(Str::SearchPortInUse);
    }
    platform_.messages.show(dialogParent_, Message{lines, text(Str::Product), MessageIcon::Exclamation,
                                                   MessageButtons::Ok, false});
}

void SearchCycle::sendDiscovery() {
    for (std::size_t i = 0; i < sockets_.size() && i < values_.adapterTable.size(); ++i) {
        DatagramEndpoint* socket = sockets_[i];
        if (socket == nullptr || !socket->isOpen()) {
            continue;
        }
        const DiscoveryRequest request = search_.requestFor(values_.adapterTable[i]);
        socket->setRemote(Ipv4::broadcast(), kDevicePort);
        socket->send(request); // a failed send is not reported
    }
}

DatagramEndpoint* SearchCycle::makeSocket() {
    std::unique_ptr<DatagramEndpoint> owned = platform_.makeEndpoint ? platform_.makeEndpoint() : nullptr;
    if (!owned) {
        return nullptr;
    }
    DatagramEndpoint* socket = owned.release();
    socket->setParent(this);
    const QPointer<DatagramEndpoint> guard(socket);
    connect(socket, &DatagramEndpoint::datagramsReady, this, [this, guard] { onDatagramsReady(guard); });
    // errorOccurred is left unconnected: socket errors are not shown and change nothing.
    return socket;
}

void SearchCycle::discardSocket(DatagramEndpoint* socket) {
    if (socket == nullptr) {
        return;
    }
    socket->close();
    socket->disconnect(this);
    continuing_.erase(socket);
    // Later, not now: this may run inside one of the socket's own signals.
    socket->deleteLater();
}

void SearchCycle::onDatagramsReady(const QPointer<DatagramEndpoint>& socket) {
    if (!continuing_.contains(socket.data())) {
        readDatagrams(socket);
    }
}

void SearchCycle::readDatagrams(const QPointer<DatagramEndpoint>& socket) {
    for (int n = 0; n < kReadBatch; ++n) {
        if (!socket) {
            return;
        }
        std::optional<Datagram> d = socket->read();
        if (!d) {
            return;
        }
        search_.onDatagram(d->bytes, d->senderIp, socket->localAddress());
    }
    if (socket) {
        const DatagramEndpoint* raw = socket.data();
        continuing_.insert(raw);
        QTimer::singleShot(0, this, [this, socket, raw] {
            if (socket) { // a discarded socket left the set when it was discarded
                continuing_.erase(raw);
                readDatagrams(socket);
            }
        });
    }
}

void SearchCycle::startCountdown() {
    auto* dialog = new SearchingDialog(dialogParent_);
    dialog_ = dialog;
    connect(dialog, &SearchingDialog::countdownEnded, this, [this] {
        dialog_.clear();
        emit searchFinished();
    });
    dialog->start();
}

} // namespace fw
