// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"
#include "upgrade/core/TftpUpload.h" // UdpAddress

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace fw::engine {

// The operating system's part of an adapter's endpoint, one small file per system.

// Ties the unbound socket to the adapter's interface, so that it sends out of that adapter only
// and its port is taken on that adapter only.
std::error_code tieToAdapter(int socket, const std::string& interfaceName);
// Asks for a receive buffer of `bytes`, as far as the system grants it.
void growReceiveBuffer(int socket, int bytes);

struct Arrival {
    UdpAddress from;
    std::size_t size = 0; // as taken: a datagram longer than its buffer is cut
};
// Takes up to two datagrams without waiting, the first into `first`, the second into `second`, in
// one call. The number taken: fewer than two means the socket had no more at that moment. An error
// is the socket's pending one (an ICMP report, say), taken with the call.
Result<int, std::error_code> receiveUpToTwo(int socket, std::span<std::uint8_t> first,
                                            std::span<std::uint8_t> second, std::array<Arrival, 2>& arrivals);

} // namespace fw::engine
