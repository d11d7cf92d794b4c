// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DatagramEndpoint.h"

#include <QPointer>

#include <deque>
#include <vector>

namespace fw::test {

struct SentDatagram {
    Ipv4 to;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> bytes;
};

// An endpoint with no socket: it records what it is told and what it sends; tests deliver datagrams.
class FakeEndpoint final : public DatagramEndpoint {
    Q_OBJECT
public:
    using DatagramEndpoint::DatagramEndpoint;

    bool bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) override;
    bool bindToAddress(Ipv4 local, std::uint16_t localPort) override;
    void setRemote(Ipv4 host, std::uint16_t port) override;
    bool send(std::span<const std::uint8_t> bytes) override;
    std::optional<Datagram> read() override;
    Ipv4 localAddress() const override { return local_; }
    std::uint16_t localPort() const override { return localPort_; }
    bool isOpen() const override { return open_; }
    void close() override;
    std::error_code lastError() const override { return lastError_; }

    // Queues a datagram without a signal, as a socket whose notifier has not fired yet.
    void queueQuietly(Datagram d) { inbox_.push_back(std::move(d)); }
    // Queues a datagram and signals it, as a socket would.
    void deliver(Datagram d);
    void deliver(std::vector<std::uint8_t> bytes, Ipv4 from, std::uint16_t fromPort);

    // Test controls.
    bool failBind = false;
    std::error_code failReason = std::make_error_code(std::errc::address_in_use);

    // What happened.
    std::vector<SentDatagram> sent;
    std::string boundInterface; // set by bindToAdapter
    int bindCount = 0;
    int readCount = 0; // datagrams taken by read()

private:
    bool open_ = false;
    Ipv4 local_;
    std::uint16_t localPort_ = 0;
    Ipv4 remote_;
    std::uint16_t remotePort_ = 0;
    std::error_code lastError_;
    std::deque<Datagram> inbox_;
};

// Hands out FakeEndpoints and keeps (non-owning) track of them in creation order.
class FakeNetwork {
public:
    EndpointFactory factory();
    // Endpoints still alive, in creation order.
    std::vector<FakeEndpoint*> alive() const;
    std::size_t created() const { return all_.size(); }
    // Endpoints bound to this local port and still open.
    std::vector<FakeEndpoint*> openOnPort(std::uint16_t port) const;
    bool failBinds = false; // applied to endpoints created afterwards, with this reason:
    std::error_code bindError = std::make_error_code(std::errc::address_in_use);

private:
    std::vector<QPointer<FakeEndpoint>> all_;
};

} // namespace fw::test
