// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"
#include "platform/WireTap.h"

#include <cstdint>
#include <system_error>
#include <vector>

namespace fw {

// A packet socket on one interface that keeps a copy of every IPv4 UDP datagram arriving for a
// port, before the host's own filters (rp_filter, firewall) can drop it. Needs CAP_NET_RAW.
class PacketTap final : public WireTap {
public:
    PacketTap() = default;
    ~PacketTap() override;
    PacketTap(const PacketTap&) = delete;
    PacketTap& operator=(const PacketTap&) = delete;

    // Fails with the system's reason when the socket cannot be opened (EPERM without the capability).
    Status<std::error_code> open(int interfaceIndex, std::uint16_t udpPort);
    // The IPv4 packets (from the IP header on) captured so far; none when closed.
    std::vector<std::vector<std::uint8_t>> drain() override;

private:
    int fd_ = -1;
};

} // namespace fw
