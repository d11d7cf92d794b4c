// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FakeEndpoint.h"

namespace fw::test {

bool FakeEndpoint::bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) {
    boundInterface = adapter.interfaceName;
    return bindToAddress(adapter.ip.value_or(Ipv4{}), localPort);
}

bool FakeEndpoint::bindToAddress(Ipv4 local, std::uint16_t localPort) {
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

void FakeEndpoint::setRemote(Ipv4 host, std::uint16_t port) {
    remote_ = host;
    remotePort_ = port;
}

bool FakeEndpoint::send(std::span<const std::uint8_t> bytes) {
    if (!open_) {
        return false;
    }
    sent.push_back({remote_, remotePort_, {bytes.begin(), bytes.end()}});
    return true;
}

std::optional<Datagram> FakeEndpoint::read() {
    if (inbox_.empty()) {
        return std::nullopt;
    }
    Datagram d = std::move(inbox_.front());
    inbox_.pop_front();
    ++readCount;
    return d;
}

void FakeEndpoint::close() {
    open_ = false;
    inbox_.clear();
}

void FakeEndpoint::deliver(Datagram d) {
    if (!open_) {
        return; // a closed socket receives nothing
    }
    inbox_.push_back(std::move(d));
    emit datagramsReady();
}

void FakeEndpoint::deliver(std::vector<std::uint8_t> bytes, Ipv4 from, std::uint16_t fromPort) {
    deliver(Datagram{std::move(bytes), from, fromPort});
}

EndpointFactory FakeNetwork::factory() {
    return [this]() {
        auto e = std::make_unique<FakeEndpoint>();
        e->failBind = failBinds;
        e->failReason = bindError;
        all_.emplace_back(e.get());
        return std::unique_ptr<DatagramEndpoint>(std::move(e));
    };
}

std::vector<FakeEndpoint*> FakeNetwork::alive() const {
    std::vector<FakeEndpoint*> out;
    for (const auto& p : all_) {
        if (p) {
            out.push_back(p.data());
        }
    }
    return out;
}

std::vector<FakeEndpoint*> FakeNetwork::openOnPort(std::uint16_t port) const {
    auto out = alive();
    std::erase_if(out, [port](FakeEndpoint* e) { return !e->isOpen() || e->localPort() != port; });
    return out;
}

} // namespace fw::test
