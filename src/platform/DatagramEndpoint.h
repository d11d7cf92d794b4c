// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace fw {

struct Datagram {
    std::vector<std::uint8_t> bytes; // the whole datagram, its real size
    Ipv4 senderIp;
    std::uint16_t senderPort = 0;
};

// One UDP socket. Windows and glue code talk to this interface; UdpEndpoint is the real one,
// tests use a fake.
class DatagramEndpoint : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DatagramEndpoint() override = default;

    // 0.0.0.0:localPort tied to the adapter's interface: sends leave by that adapter only (also to
    // 255.255.255.255) and both unicast and broadcast datagrams arriving there are received.
    // The local address reported afterwards is the adapter's ip.
    virtual bool bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) = 0;
    // local:localPort (0 = a free port), for unicast exchanges with one device.
    virtual bool bindToAddress(Ipv4 local, std::uint16_t localPort) = 0;
    virtual void setRemote(Ipv4 host, std::uint16_t port) = 0;
    // One datagram to the remote set last. False when closed or the system refused it.
    virtual bool send(std::span<const std::uint8_t> bytes) = 0;
    // The next received datagram, or none when nothing is pending.
    virtual std::optional<Datagram> read() = 0;
    // The same, but when nothing is pending it may block the thread up to `limit` for a datagram to
    // arrive. An endpoint that cannot wait just reads.
    virtual std::optional<Datagram> readWithin(std::chrono::microseconds limit) {
        (void)limit;
        return read();
    }
    virtual Ipv4 localAddress() const = 0;
    virtual std::uint16_t localPort() const = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // The system's reason for the last failed bind or send (std::errc::address_in_use when another
    // socket holds the port on this adapter); its message() is the system's text.
    virtual std::error_code lastError() const = 0;

signals:
    void datagramsReady(); // at least one datagram can be read
    void errorOccurred();  // a socket error; callers may ignore it
};

using EndpointFactory = std::function<std::unique_ptr<DatagramEndpoint>()>;

} // namespace fw
