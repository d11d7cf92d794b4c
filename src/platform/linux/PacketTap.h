// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// A packet socket on one interface that keeps a copy of every IPv4 UDP datagram arriving for a
// port, before the host's own filters (rp_filter, firewall) can drop it. Needs CAP_NET_RAW.
class PacketTap {
public:
    PacketTap() = default;
    ~PacketTap();
    PacketTap(const PacketTap&) = delete;
    PacketTap& operator=(const PacketTap&) = delete;

    // False with lastError() set when the socket cannot be opened (EPERM without the capability).
    bool open(int interfaceIndex, std::uint16_t udpPort);
    // The IPv4 packets (from the IP header on) captured so far; none when closed.
    std::vector<std::vector<std::uint8_t>> drain();
    const std::string& lastError() const { return lastError_; }
    int lastErrno() const { return lastErrno_; }

private:
    int fd_ = -1;
    std::string lastError_;
    int lastErrno_ = 0;
};

} // namespace fw
