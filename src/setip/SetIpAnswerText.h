// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/StringTable.h"
#include "setip/SetIpExchange.h"

namespace fw {

// The string an answer is told by, in the window's box and on the command line alike: 39/40 when
// done (fixed/DHCP), 43/44 when refused.
inline Str setIpAnswerText(const SetIpAnswer& answer) {
    const bool fixed = answer.mode == SetIpMode::Fixed;
    if (answer.result == SetIpResult::Done) {
        return fixed ? Str::SetIpOk : Str::SetDhcpOk;
    }
    return fixed ? Str::SetIpFailure : Str::SetDhcpFailure;
}

} // namespace fw
