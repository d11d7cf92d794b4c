// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DatagramEndpoint.h"

#include <vector>

class QSocketNotifier;

namespace fw {

// A native non-blocking UDP socket watched by a QSocketNotifier.
// datagramsReady is emitted while the socket is readable: datagrams pending, or a socket error that
// the next read() takes and reports (read them all with read() until it gives none); errorOccurred
// is emitted when a send or receive fails. A failed bind only returns false.
// Nothing here throws.
class UdpEndpoint final : public DatagramEndpoint {
    Q_OBJECT
public:
    // The receive buffer asked for: a search can bring hundreds of replies at once.
    static constexpr int kReceiveBufferBytes = 1 << 20;
    // The largest UDP payload over IPv4 is 65,507 bytes; read() takes any datagram whole.
    static constexpr std::size_t kLargestDatagramBytes = 65536;

    explicit UdpEndpoint(QObject* parent = nullptr);
    ~UdpEndpoint() override;

    // Binds 0.0.0.0:localPort with SO_BINDTODEVICE to adapter.interfaceName and SO_BROADCAST.
    // Without SO_REUSEADDR, so that a second program's bind of the same port on the same adapter
    // fails (EADDRINUSE) instead of silently splitting the unicast answers between the two; sockets
    // tied to different adapters share the port without it. An adapter without an interface name is
    // bound by its ip instead.
    bool bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) override;
    bool bindToAddress(Ipv4 local, std::uint16_t localPort) override;
    void setRemote(Ipv4 host, std::uint16_t port) override;
    bool send(std::span<const std::uint8_t> bytes) override;
    std::optional<Datagram> read() override;
    std::optional<Datagram> readWithin(std::chrono::microseconds limit) override;
    Ipv4 localAddress() const override { return localAddress_; }
    std::uint16_t localPort() const override { return localPort_; }
    bool isOpen() const override { return fd_ >= 0; }
    void close() override;
    std::error_code lastError() const override { return lastError_; }

    // The receive buffer the kernel granted, in bytes (0 when closed).
    int receiveBufferBytes() const;

private:
    bool open(int& fd);
    bool bindAndWatch(int fd, Ipv4 local, std::uint16_t localPort);
    bool failSetup(int fd, int error);
    void onReadable();
    std::optional<Datagram> receive(int flags);

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr; // child of this
    Ipv4 localAddress_;
    std::uint16_t localPort_ = 0;
    Ipv4 remote_;
    std::uint16_t remotePort_ = 0;
    std::error_code lastError_;
    std::vector<std::uint8_t> receiveBuffer_; // sized on the first read, kept for the next
};

} // namespace fw
