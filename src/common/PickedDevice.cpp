// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PickedDevice.h"

#include "common/DeviceText.h"

namespace fw {

std::string PickedDevice::line() const {
    constexpr std::string_view kDot = " \u00b7 ";
    std::string text = deviceTextToUtf8(name);
    if (!text.empty()) {
        text += kDot;
    }
    return text + ip.toString() + std::string(kDot) + formatMac(mac);
}

} // namespace fw
