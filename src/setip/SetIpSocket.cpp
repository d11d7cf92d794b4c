#include "setip/SetIpSocket.h"

#include "platform/DatagramEndpoint.h"

namespace fw {

SetIpSocket::SetIpSocket(SetIpExchange& exchange, std::unique_ptr<DatagramEndpoint> endpoint,
                         ShowMessage show, QObject* parent)
    : QObject(parent), exchange_(exchange), endpoint_(std::move(endpoint)), show_(std::move(show)) {
    connect(endpoint_.get(), &DatagramEndpoint::datagramsReady, this, &SetIpSocket::readPending);
}

SetIpSocket::~SetIpSocket() {
    close();
}

bool SetIpSocket::open(const AdapterEntry& adapter) {
    endpoint_->setRemote(Ipv4::broadcast(), setip::kDevicePort);
    return endpoint_->bindToAdapter(adapter, setip::kLocalPort);
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
    endpoint_->setRemote(Ipv4::broadcast(), setip::kDevicePort);
    endpoint_->send(record);
}

void SetIpSocket::show(const Message& message) {
    if (show_) {
        show_(message);
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
