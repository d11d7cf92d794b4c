// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/UdpAddress.h"

#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>

namespace fw::engine {

// The operating system's part of an adapter's endpoint, one small file per system
// (LinuxSocketOptions.cpp, WindowsSocketOptions.cpp).

using NativeSocket = asio::ip::udp::socket::native_handle_type;

// The address an adapter's endpoint binds: 0.0.0.0 on Linux, tied to the interface by
// tieToAdapter(); the adapter's own address on Windows, where that ties sending (also to
// 255.255.255.255) and receiving to the adapter.
Ipv4 adapterBindAddress(Ipv4 adapterIp);

// An error Asio reported in its own category as one the standard's std::errc compares with (the
// port-in-use case above all), keeping the system's text where it has one.
std::error_code systemError(const std::error_code& asioError);

// Ties the unbound socket to the adapter's interface, so that it sends out of that adapter only
// and its port is taken on that adapter only.
std::error_code tieToAdapter(NativeSocket socket, const std::string& interfaceName);
// Asks for a receive buffer of `bytes`, as far as the system grants it.
void growReceiveBuffer(NativeSocket socket, int bytes);

// Bounds a blocking receive on the socket: it gives up after `limit`, rounded up to the system's
// clock tick (4 ms at HZ=250), which costs nothing per call, unlike a precise timer.
void limitBlockingReceive(NativeSocket socket, std::chrono::microseconds limit);
// One datagram by a blocking receive (the socket must be in blocking mode), into `buffer`; its size
// and sender, or none when the limit passed or the system refused.
std::optional<std::pair<std::size_t, UdpAddress>> receiveBlocking(NativeSocket socket,
                                                                  std::span<std::uint8_t> buffer);

} // namespace fw::engine
