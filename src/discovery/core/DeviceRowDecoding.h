#pragma once

#include "common/Ipv4.h"
#include "discovery/core/DeviceRow.h"
#include "discovery/core/DiscoveryRecords.h"

namespace fw {

// The cells of a device list row for an accepted reply: name, the sender's address, ESS-ID,
// channel in decimal, "Enabled"/"Disabled", the MAC as 00-0A-1B-2C-3D-4E, and "A"/"G".
// adapterIp is the local address of the socket the reply arrived on.
DeviceRow decodeDeviceRow(const DiscoveryReply& reply, const Ipv4& sender, const Ipv4& receivedOn);

} // namespace fw
