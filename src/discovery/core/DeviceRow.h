#pragma once

#include <string>

namespace fw {

// One line of the device list: text cells only, in column order.
struct DeviceRow {
    std::string name;    // column 1
    std::string ip;      // column 2, the reply's source address
    std::string essId;   // column 3
    std::string channel; // column 4, decimal
    std::string wep;     // column 5, "Enabled" or "Disabled"
    std::string mac;     // column 6, 00-0A-1B-2C-3D-4E
    std::string kind;    // column 7 (hidden), "A" for an access point, "G" otherwise
    // Not shown: the local address of the adapter the reply came in on, so that picking the row
    // points Set IP and the upgrade at the right adapter.
    std::string adapterIp;

    bool operator==(const DeviceRow&) const = default;
};

} // namespace fw
