// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/PacketTap.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {
namespace {

constexpr int kReceiveBufferBytes = 1 << 20;
constexpr std::size_t kMaxPacket = 65536;

} // namespace

PacketTap::~PacketTap() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Status<std::error_code> PacketTap::open(int interfaceIndex, std::uint16_t udpPort) {
    // SOCK_DGRAM: the filter and the reader see the packet from its IPv4 header on.
    // Opened with protocol 0 so that nothing is queued before the filter is in place.
    fd_ = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        return Failure{std::error_code(errno, std::system_category())};
    }
    // UDP (byte 9 = 17), not a fragment (offset and MF bit clear), destination port at IHL + 2;
    // every failed test jumps to the last instruction, which keeps nothing.
    std::array<sock_filter, 9> program{{
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 17, 0, 6),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x3FFF, 4, 0),
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, udpPort, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, kMaxPacket),
        BPF_STMT(BPF_RET | BPF_K, 0),
    }};
    sock_fprog fprog{static_cast<unsigned short>(program.size()), program.data()};
    const int buffer = kReceiveBufferBytes;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_ll where{};
    where.sll_family = AF_PACKET;
    where.sll_protocol = htons(ETH_P_IP);
    where.sll_ifindex = interfaceIndex;
    if (::setsockopt(fd_, SOL_SOCKET, SO_ATTACH_FILTER, &fprog, sizeof fprog) != 0 ||
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        const std::error_code error(errno, std::system_category());
        ::close(fd_);
        fd_ = -1;
        return Failure{error};
    }
    return Done{};
}

std::vector<std::vector<std::uint8_t>> PacketTap::drain() {
    std::vector<std::vector<std::uint8_t>> packets;
    if (fd_ < 0) {
        return packets;
    }
    std::vector<std::uint8_t> buffer(kMaxPacket);
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // EAGAIN: nothing more queued
        }
        if (from.sll_pkttype == PACKET_OUTGOING) {
            continue; // our own sends are not answers
        }
        packets.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return packets;
}

} // namespace fw
