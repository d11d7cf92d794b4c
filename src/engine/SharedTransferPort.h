// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Endpoint.h"

#include <asio/any_io_executor.hpp>
#include <memory>
#include <vector>

namespace fw::engine {

// One bound socket carrying many exchanges at once, each through a view of its own that is an
// Endpoint: several TFTP transfers from port 14321 of one adapter, told apart by the device's
// address as TFTP tells them apart by transfer identifiers, or several searches from port 4001.
// One reader takes every datagram off the socket and queues it for each open view that has sent to
// its sender's address, or that has sent a broadcast (a search hears every device). A datagram no
// view has asked for is dropped unanswered, as a lone transfer ignores any address but its
// device's. A view's receive keeps Endpoint's deadline rule: what comes after a deadline stays
// queued for the next receive. Closing a view touches no other; closing the last closes the socket.
// Engine thread only.
class SharedTransferPort : public std::enable_shared_from_this<SharedTransferPort> {
public:
    // Datagrams queued for one view that does not read are dropped beyond this, as a full socket
    // buffer would drop them.
    static constexpr std::size_t kQueueLimit = 512;

    // Takes over a bound socket; it is read from the first view on.
    static std::shared_ptr<SharedTransferPort> adopt(asio::any_io_executor executor,
                                                     std::unique_ptr<Endpoint> socket);
    // A new exchange on this socket (none once the socket is closed).
    std::unique_ptr<Endpoint> view();
    bool isOpen() const;

    struct View;    // one exchange's queue and the peers it has sent to
    class Exchange; // the Endpoint handed out for a view

private:
    SharedTransferPort(asio::any_io_executor executor, std::unique_ptr<Endpoint> socket);
    static asio::awaitable<void> read(std::shared_ptr<SharedTransferPort> port);
    void deliver(const Received& got);
    void close(View& view);

    asio::any_io_executor executor_;
    std::unique_ptr<Endpoint> socket_;
    std::vector<std::shared_ptr<View>> views_; // the open ones
    bool reading_ = false;
};

} // namespace fw::engine
