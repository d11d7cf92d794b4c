// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SocketOptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace fw::engine {

// SO_BINDTODEVICE before bind: the port is then taken on this interface only, and datagrams to
// 255.255.255.255 leave by it rather than by the routing table.
std::error_code tieToAdapter(int socket, const std::string& interfaceName) {
    if (::setsockopt(socket, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                     static_cast<socklen_t>(interfaceName.size())) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

// SO_RCVBUFFORCE passes rmem_max when privileged; otherwise the kernel caps the plain request.
void growReceiveBuffer(int socket, int bytes) {
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

// recvmmsg: one call takes the datagram waited for and tells whether another is already there, so
// that the next wait needs no read of its own first.
Result<int, std::error_code> receiveUpToTwo(int socket, std::span<std::uint8_t> first,
                                            std::span<std::uint8_t> second,
                                            std::array<Arrival, 2>& arrivals) {
    std::array<iovec, 2> parts{iovec{first.data(), first.size()}, iovec{second.data(), second.size()}};
    std::array<sockaddr_in, 2> senders{};
    std::array<mmsghdr, 2> messages{};
    for (std::size_t i = 0; i < 2; ++i) {
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int n = -1;
    do {
        n = ::recvmmsg(socket, messages.data(), 2, MSG_DONTWAIT, nullptr);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        }
        return Failure{std::error_code(errno, std::system_category())};
    }
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        arrivals[k].from =
            UdpAddress{Ipv4::fromHostOrder(ntohl(senders[k].sin_addr.s_addr)), ntohs(senders[k].sin_port)};
        arrivals[k].size = messages[k].msg_len;
    }
    return n;
}

} // namespace fw::engine
