// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace fw {

// 8-bit text read as Latin-1, as UTF-8 for reports and terminals. Devices' texts are not:
// DeviceText.h reads them.
std::string latin1ToUtf8(std::string_view latin1);

} // namespace fw
