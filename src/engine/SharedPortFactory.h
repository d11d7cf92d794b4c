// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EndpointFactory.h"
#include "engine/SharedTransferPort.h"

#include <memory>
#include <string>
#include <vector>

namespace fw::engine {

// Endpoints for several exchanges with different devices from one adapter at once: a bind of a
// fixed port (14321 for the transfers, 4001 for the searches) that is already open here gets a view
// of that socket (SharedTransferPort) instead of PortInUse; the first bind opens it through the
// factory given, so a port another program holds is still refused for every exchange there. A bind
// of port 0 (a free port: the handshake) goes straight through. Engine thread only.
class SharedPortFactory final : public EndpointFactory {
public:
    explicit SharedPortFactory(EndpointFactory& sockets) : sockets_(sockets) {}

    asio::any_io_executor executor() override { return sockets_.executor(); }
    EndpointResult bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) override;
    EndpointResult bindToAddress(Ipv4 local, std::uint16_t port) override;
    std::optional<Ipv4> routeSource(Ipv4 to) override { return sockets_.routeSource(to); }
    RecordNumbers& recordNumbers() override { return sockets_.recordNumbers(); }

private:
    struct Key {
        std::string interfaceName; // empty: bound by address
        Ipv4 local;
        std::uint16_t port = 0;
        bool operator==(const Key&) const = default;
    };
    template <typename Bind> EndpointResult shared(const Key& key, Bind bind);

    EndpointFactory& sockets_;
    std::vector<std::pair<Key, std::weak_ptr<SharedTransferPort>>> ports_;
};

} // namespace fw::engine
