// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SocketOptions.h"

#include <cerrno>
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

} // namespace fw::engine
