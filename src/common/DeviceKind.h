// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace fw {

// What a discovery reply says the device is: "AP" at offset 92 or 93 of the reply makes an access
// point; anything else is a bridge (or a radio-side ethernet adapter, which the devices report alike).
// The image check asks for the marker of this kind.
enum class DeviceKind : std::uint8_t { AccessPoint, Bridge };

} // namespace fw
