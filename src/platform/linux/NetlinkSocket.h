// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <system_error>
#include <vector>

namespace fw {

// One netlink message as the kernel sent it: its type and the bytes after the header.
struct NetlinkMessage {
    std::uint16_t type = 0;
    std::span<const std::uint8_t> payload;
};

// A blocking netlink socket of the calling thread's network namespace, for short queries:
// NETLINK_ROUTE (0) unless another family is named (NETLINK_SOCK_DIAG, NETLINK_NETFILTER).
class NetlinkSocket {
public:
    explicit NetlinkSocket(int protocol = 0);
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    enum class DumpError {
        Interrupted, // the table changed while it was read (NLM_F_DUMP_INTR) or the kernel was slow
                     // to answer: asking again, on a fresh socket, is expected to work
        Failed,      // no socket, the request could not be sent or the kernel reported an error
    };
    // Sends a dump request of the given type with body after the header, and hands every message
    // of the answer to onMessage. Only a successful dump has given the whole table.
    Status<DumpError> dump(std::uint16_t type, std::span<const std::uint8_t> body,
                           const std::function<void(const NetlinkMessage&)>& onMessage);

    // Sends one request that asks for an acknowledgement; fails with the errno the kernel gave.
    Status<std::error_code> request(std::uint16_t type, std::uint16_t flags,
                                    std::span<const std::uint8_t> body);

private:
    Status<std::error_code> sendRequest(std::uint16_t type, std::uint16_t flags,
                                        std::span<const std::uint8_t> body);
    // Reads one datagram of messages (whole, whatever its size), waiting at most a second.
    Result<std::vector<std::uint8_t>, std::error_code> receive();

    int fd_ = -1;
    std::uint32_t sequence_ = 0;
};

// Walks a run of rtnetlink attributes (struct rtattr) and calls f(type, payload) for each.
void forEachAttribute(std::span<const std::uint8_t> bytes,
                      const std::function<void(std::uint16_t, std::span<const std::uint8_t>)>& f);

} // namespace fw
