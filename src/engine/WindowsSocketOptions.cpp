// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SocketOptions.h"

#include <algorithm>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace fw::engine {

Ipv4 adapterBindAddress(Ipv4 adapterIp) {
    return adapterIp;
}

// Winsock's codes mean nothing to the standard library's categories here: Asio's category has their
// text (FormatMessage). A port held by another socket (WSAEACCES: held exclusively) is named, and
// an adapter whose address went away is gone.
std::error_code systemError(const std::error_code& asioError) {
    if (asioError.value() == WSAEADDRINUSE || asioError.value() == WSAEACCES) {
        return std::make_error_code(std::errc::address_in_use);
    }
    if (asioError.value() == WSAEADDRNOTAVAIL) {
        return std::make_error_code(std::errc::no_such_device);
    }
    return asioError;
}

// Bound to the adapter's address, the socket is the adapter's already.
std::error_code tieToAdapter(NativeSocket /*socket*/, const std::string& /*interfaceName*/) {
    return {};
}

void growReceiveBuffer(NativeSocket socket, int bytes) {
    ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

// SO_RCVTIMEO is in whole milliseconds here.
void limitBlockingReceive(NativeSocket socket, std::chrono::microseconds limit) {
    const DWORD ms = static_cast<DWORD>(
        std::max<std::int64_t>(1, std::chrono::ceil<std::chrono::milliseconds>(limit).count()));
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

std::optional<std::pair<std::size_t, UdpAddress>> receiveBlocking(NativeSocket socket,
                                                                  std::span<std::uint8_t> buffer) {
    sockaddr_in from{};
    int length = sizeof from;
    const int n = ::recvfrom(socket, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                             0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::size_t>(n),
                     UdpAddress{Ipv4::fromHostOrder(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port)}};
}

} // namespace fw::engine
