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

    bool bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) override {
        boundInterface = adapter.interfaceName;
        return bindToAddress(adapter.ip.value_or(Ipv4{}), localPort);
    }
    bool bindToAddress(Ipv4 local, std::uint16_t localPort) override {
        ++bindCount;
        if (failBind) {
            lastError_ = failReason;
            return false;
        }
        open_ = true;
        local_ = local;
        localPort_ = localPort == 0 ? 50000 : localPort;
        return true;
    }
    void setRemote(Ipv4 host, std::uint16_t port) override {
        remote_ = host;
        remotePort_ = port;
    }
    bool send(std::span<const std::uint8_t> bytes) override {
        if (open_) {
            sent.push_back({remote_, remotePort_, {bytes.begin(), bytes.end()}});
        }
        return open_;
    }
    std::optional<Datagram> read() override {
        if (inbox_.empty()) {
            return std::nullopt;
        }
        Datagram d = std::move(inbox_.front());
        inbox_.pop_front();
        return d;
    }
    Ipv4 localAddress() const override { return local_; }
    std::uint16_t localPort() const override { return localPort_; }
    bool isOpen() const override { return open_; }
    void close() override {
        open_ = false;
        inbox_.clear();
    }
    std::error_code lastError() const override { return lastError_; }

    // Queues a datagram and signals it, as a socket would; a closed socket receives nothing.
    void deliver(std::vector<std::uint8_t> bytes, Ipv4 from, std::uint16_t fromPort) {
        if (open_) {
            inbox_.push_back(Datagram{std::move(bytes), from, fromPort});
            emit datagramsReady();
        }
    }

    // Test controls.
    bool failBind = false;
    std::error_code failReason = std::make_error_code(std::errc::address_in_use);

    // What happened.
    std::vector<SentDatagram> sent;
    std::string boundInterface; // set by bindToAdapter
    int bindCount = 0;

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
    EndpointFactory factory() {
        return [this]() {
            auto e = std::make_unique<FakeEndpoint>();
            e->failBind = failBinds;
            e->failReason = bindError;
            all_.emplace_back(e.get());
            return std::unique_ptr<DatagramEndpoint>(std::move(e));
        };
    }
    // Endpoints still alive, in creation order.
    std::vector<FakeEndpoint*> alive() const {
        std::vector<FakeEndpoint*> out;
        for (const auto& p : all_) {
            if (p) {
                out.push_back(p.data());
            }
        }
        return out;
    }
    std::size_t created() const { return all_.size(); }
    // Endpoints bound to this local port and still open.
    std::vector<FakeEndpoint*> openOnPort(std::uint16_t port) const {
        auto out = alive();
        std::erase_if(out, [port](FakeEndpoint* e) { return !e->isOpen() || e->localPort() != port; });
        return out;
    }
    bool failBinds = false; // applied to endpoints created afterwards, with this reason:
    std::error_code bindError = std::make_error_code(std::errc::address_in_use);

private:
    std::vector<QPointer<FakeEndpoint>> all_;
};

} // namespace fw::test
