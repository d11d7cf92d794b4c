#pragma once

// Readable test failures for device rows.

#include "discovery/core/DeviceRow.h"

#include <ostream>

namespace fw {

inline void PrintTo(const DeviceRow& r, std::ostream* os) {
    *os << '{' << r.name << " | " << r.ip << " | " << r.essId << " | " << r.channel << " | " << r.wep << " | "
        << r.mac << " | " << r.kind << " | via " << r.adapterIp << '}';
}

} // namespace fw
