// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"
#include "common/StringTable.h"
#include "setip/core/SetIpExchange.h"

#include <string>

namespace fw {

// The box an answer shows: strings 39/40 (done, fixed/DHCP) and 43/44 (refused).
inline Message setIpAnswerMessage(const SetIpAnswer& answer) {
    const bool fixed = answer.mode == SetIpMode::Fixed;
    const bool done = answer.result == SetIpResult::Done;
    const Str text =
        done ? (fixed ? Str::SetIpOk : Str::SetDhcpOk) : (fixed ? Str::SetIpFailure : Str::SetDhcpFailure);
    return Message{std::string(loadResString(text)), std::string(loadResString(Str::Product)),
                   MessageIcon::Information};
}

} // namespace fw
