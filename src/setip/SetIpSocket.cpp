// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpSocket.h"

#include "common/StringTable.h"
#include "platform/DatagramEndpoint.h"

namespace fw {

SetIpSocket::SetIpSocket(SetIpExchange& exchange, std::unique_ptr<DatagramEndpoint> endpoint,
                         Answered answered, QObject* parent)
    : QObject(parent), exchange_(exchange), endpoint_(std::move(endpoint)), answered_(std::move(answered)) {
    connect(endpoint_.get(), &DatagramEndpoint::datagramsReady, this, &SetIpSocket::readPending);
}

SetIpSocket::~SetIpSocket() {
    close();
}

bool SetIpSocket::open(const AdapterEntry& adapter) {
    endpoint_->setRemote(Ipv4::broadcast(), kDevicePort);
    return endpoint_->bindToAdapter(adapter, kWorkstationPort);
}

void SetIpSocket::close() {
    if (endpoint_->isOpen()) {
        endpoint_->close();
    }
}

bool SetIpSocket::isOpen() const {
    return endpoint_->isOpen();
}

std::error_code SetIpSocket::lastError() const {
    return endpoint_->lastError();
}

void SetIpSocket::send(std::span<const std::uint8_t> record) {
    endpoint_->setRemote(Ipv4::broadcast(), kDevicePort);
    endpoint_->send(record);
}

void SetIpSocket::answered(const SetIpAnswer& answer) {
    if (answered_) {
        answered_(answer);
    }
}

void SetIpSocket::readPending() {
    // A message box shown from here lets events run, so this may be entered again meanwhile; each
    // datagram is taken off the socket before it is handled.
    while (auto datagram = endpoint_->read()) {
        exchange_.onDatagram(*this, datagram->bytes);
    }
}

} // namespace fw
