#include "discovery/core/DeviceRowDecoding.h"

namespace fw {

DeviceRow decodeDeviceRow(const DiscoveryReply& reply, const Ipv4& sender, const Ipv4& receivedOn) {
    DeviceRow row;
    row.name = reply.name;
    row.ip = sender.toString();
    row.essId = reply.essId;
    row.channel = std::to_string(reply.channel);
    row.wep = reply.wep ? "Enabled" : "Disabled";
    row.mac = formatMac(reply.deviceMac);
    row.kind = reply.isAp ? "A" : "G";
    row.adapterIp = receivedOn.toString();
    return row;
}

} // namespace fw
