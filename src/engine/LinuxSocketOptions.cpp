// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SocketOptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace fw::engine {

Ipv4 adapterBindAddress(Ipv4 /*adapterIp*/) {
    return Ipv4::any();
}

std::error_code systemError(const std::error_code& asioError) {
    return {asioError.value(), std::system_category()};
}

// SO_BINDTODEVICE before bind: the port is then taken on this interface only, and datagrams to
// 255.255.255.255 leave by it rather than by the routing table.
std::error_code tieToAdapter(NativeSocket socket, const std::string& interfaceName) {
    if (::setsockopt(socket, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                     static_cast<socklen_t>(interfaceName.size())) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

// SO_RCVBUFFORCE passes rmem_max when privileged; otherwise the kernel caps the plain request.
void growReceiveBuffer(NativeSocket socket, int bytes) {
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

void limitBlockingReceive(NativeSocket socket, std::chrono::microseconds limit) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    const timeval timeout{static_cast<time_t>(seconds.count()),
                          static_cast<suseconds_t>((limit - seconds).count())};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

std::optional<std::pair<std::size_t, UdpAddress>> receiveBlocking(NativeSocket socket,
                                                                  std::span<std::uint8_t> buffer) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n =
        ::recvfrom(socket, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::size_t>(n),
                     UdpAddress{Ipv4::fromHostOrder(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port)}};
}

} // namespace fw::engine
