// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/Result.h"
#include "common/SocketError.h"
#include "common/UdpAddress.h"
#include "engine/Clock.h"

#include <asio/awaitable.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace fw::engine {

// The buffers datagrams are received into. A search reply or Set IP answer is read from its head
// (a reply's first 96 bytes, an answer's 32): a longer datagram is cut there, which changes nothing.
inline constexpr std::size_t kRecordBufferBytes = 2048;
// A TFTP datagram is taken whole: the largest UDP payload over IPv4 is 65,507 bytes.
inline constexpr std::size_t kLargestDatagramBytes = 65536;

// One datagram taken by Endpoint::receive: its sender and its bytes, a view of the caller's buffer.
struct Received {
    UdpAddress from;
    std::span<const std::uint8_t> bytes;
};

// One bound UDP socket on the engine's thread. AsioEndpoint is the real one; tests fake it. Only one
// receive may be in progress on an endpoint at a time.
class Endpoint {
public:
    virtual ~Endpoint() = default;

    // One datagram, sent at once (never queued). Fails when closed or when the system refused it.
    virtual Status<SocketError> send(UdpAddress to, std::span<const std::uint8_t> bytes) = 0;
    // The next datagram, copied into `buffer` (a longer one is cut to its size); none at `deadline`
    // or once the endpoint is closed. A datagram that arrives after the deadline stays queued for
    // the next receive: nothing is taken from the socket by a wait that has ended.
    virtual asio::awaitable<std::optional<Received>> receive(std::span<std::uint8_t> buffer,
                                                             Clock::time_point deadline) = 0;
    // Closes at once: a receive in progress ends with none, sends fail afterwards. Idempotent.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // For an endpoint tied to an adapter, the adapter's address; else the address it was bound to.
    virtual Ipv4 localAddress() const = 0;
    virtual std::uint16_t localPort() const = 0;
};

} // namespace fw::engine
