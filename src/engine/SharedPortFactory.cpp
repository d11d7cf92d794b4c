// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SharedPortFactory.h"

namespace fw::engine {

template <typename Bind> EndpointResult SharedPortFactory::shared(const Key& key, Bind bind) {
    std::erase_if(ports_, [](const auto& p) {
        const auto port = p.second.lock();
        return !port || !port->isOpen();
    });
    for (const auto& [bound, weak] : ports_) {
        if (bound == key) {
            return weak.lock()->view();
        }
    }
    auto socket = bind();
    if (!socket) {
        return Failure{socket.error()};
    }
    auto port = SharedTransferPort::adopt(executor(), std::move(*socket));
    ports_.emplace_back(key, port);
    return port->view();
}

EndpointResult SharedPortFactory::bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) {
    if (port == 0) {
        return sockets_.bindToAdapter(adapter, port);
    }
    return shared(Key{adapter.interfaceName, adapter.ip.value_or(Ipv4::any()), port},
                  [&] { return sockets_.bindToAdapter(adapter, port); });
}

EndpointResult SharedPortFactory::bindToAddress(Ipv4 local, std::uint16_t port) {
    if (port == 0) {
        return sockets_.bindToAddress(local, port);
    }
    return shared(Key{{}, local, port}, [&] { return sockets_.bindToAddress(local, port); });
}

} // namespace fw::engine
