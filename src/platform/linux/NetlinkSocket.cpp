// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/NetlinkSocket.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {
namespace {

constexpr int kAnswerTimeoutMs = 1000;

template <typename T> T readAs(std::span<const std::uint8_t> bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

constexpr std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

std::error_code lastSystemError() {
    return {errno, std::system_category()};
}

} // namespace

NetlinkSocket::NetlinkSocket(int protocol) {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, protocol);
    if (fd_ < 0) {
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

NetlinkSocket::~NetlinkSocket() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Status<std::error_code> NetlinkSocket::sendRequest(std::uint16_t type, std::uint16_t flags,
                                                   std::span<const std::uint8_t> body) {
    if (fd_ < 0) {
        return Failure{std::make_error_code(std::errc::bad_file_descriptor)};
    }
    std::vector<std::uint8_t> packet(NLMSG_HDRLEN + align4(body.size()), 0);
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_HDRLEN + body.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
    header.nlmsg_seq = ++sequence_;
    std::memcpy(packet.data(), &header, sizeof header);
    if (!body.empty()) {
        std::memcpy(packet.data() + NLMSG_HDRLEN, body.data(), body.size());
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const ssize_t n = ::sendto(fd_, packet.data(), header.nlmsg_len, 0,
                               reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    if (n < 0) {
        return Failure{lastSystemError()};
    }
    if (n != static_cast<ssize_t>(header.nlmsg_len)) {
        return Failure{std::make_error_code(std::errc::message_size)};
    }
    return Done{};
}

Result<std::vector<std::uint8_t>, std::error_code> NetlinkSocket::receive() {
    pollfd p{fd_, POLLIN, 0};
    int ready = -1;
    do {
        ready = ::poll(&p, 1, kAnswerTimeoutMs); // a signal may cut the wait short: wait again
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return Failure{std::make_error_code(std::errc::timed_out)};
    }
    if (ready < 0) {
        return Failure{lastSystemError()};
    }
    // Learn the size first: dump datagrams can outgrow any fixed buffer.
    ssize_t size = -1;
    do {
        size = ::recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    } while (size < 0 && errno == EINTR);
    if (size < 0) {
        return Failure{lastSystemError()};
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 1, 0);
    ssize_t n = -1;
    do {
        n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return Failure{lastSystemError()};
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

Status<NetlinkSocket::DumpError>
NetlinkSocket::dump(std::uint16_t type, std::span<const std::uint8_t> body,
                    const std::function<void(const NetlinkMessage&)>& onMessage) {
    if (!sendRequest(type, NLM_F_DUMP, body)) {
        return Failure{DumpError::Failed};
    }
    const std::uint32_t wanted = sequence_;
    for (;;) {
        const auto buffer = receive();
        if (!buffer) {
            return Failure{buffer.error() == std::errc::timed_out ? DumpError::Interrupted
                                                                  : DumpError::Failed};
        }
        std::span<const std::uint8_t> rest(*buffer);
        while (rest.size() >= sizeof(nlmsghdr)) {
            const auto header = readAs<nlmsghdr>(rest);
            if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > rest.size()) {
                return Failure{DumpError::Failed};
            }
            const auto payload = rest.subspan(NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
            rest = rest.subspan(std::min<std::size_t>(align4(header.nlmsg_len), rest.size()));
            if (header.nlmsg_seq != wanted) {
                continue; // a late answer to an earlier request
            }
            if ((header.nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
                return Failure{DumpError::Interrupted}; // the table changed while it was read
            }
            if (header.nlmsg_type == NLMSG_DONE) {
                // The dump's own result: 0, or -errno when the kernel gave up half way.
                if (payload.size() >= sizeof(int) && readAs<int>(payload) != 0) {
                    return Failure{DumpError::Failed};
                }
                return Done{};
            }
            if (header.nlmsg_type == NLMSG_ERROR) {
                return Failure{DumpError::Failed};
            }
            onMessage(NetlinkMessage{header.nlmsg_type, payload});
        }
    }
}

Status<std::error_code> NetlinkSocket::request(std::uint16_t type, std::uint16_t flags,
                                               std::span<const std::uint8_t> body) {
    if (auto sent = sendRequest(type, static_cast<std::uint16_t>(flags | NLM_F_ACK), body); !sent) {
        return sent;
    }
    const std::uint32_t wanted = sequence_;
    for (;;) {
        const auto buffer = receive();
        if (!buffer) {
            return Failure{buffer.error()};
        }
        std::span<const std::uint8_t> rest(*buffer);
        while (rest.size() >= sizeof(nlmsghdr)) {
            const auto header = readAs<nlmsghdr>(rest);
            if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > rest.size()) {
                return Failure{std::make_error_code(std::errc::protocol_error)};
            }
            const auto payload = rest.subspan(NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
            rest = rest.subspan(std::min<std::size_t>(align4(header.nlmsg_len), rest.size()));
            if (header.nlmsg_seq == wanted && header.nlmsg_type == NLMSG_ERROR &&
                payload.size() >= sizeof(int)) {
                // The kernel sends -errno, 0 as the acknowledgement.
                const int error = -readAs<int>(payload);
                if (error != 0) {
                    return Failure{std::error_code(error, std::system_category())};
                }
                return Done{};
            }
        }
    }
}

void forEachAttribute(std::span<const std::uint8_t> bytes,
                      const std::function<void(std::uint16_t, std::span<const std::uint8_t>)>& f) {
    while (bytes.size() >= sizeof(rtattr)) {
        const auto attr = readAs<rtattr>(bytes);
        if (attr.rta_len < sizeof(rtattr) || attr.rta_len > bytes.size()) {
            return;
        }
        f(static_cast<std::uint16_t>(attr.rta_type & NLA_TYPE_MASK),
          bytes.subspan(RTA_LENGTH(0), attr.rta_len - RTA_LENGTH(0)));
        bytes = bytes.subspan(std::min<std::size_t>(align4(attr.rta_len), bytes.size()));
    }
}

} // namespace fw
