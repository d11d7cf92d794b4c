// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/FixedAddressCheck.h"

#include "common/StringTable.h"

#include <algorithm>
#include <string>

namespace fw {

bool isAcceptableDeviceAddress(Ipv4 address) {
    const auto& o = address.octets;
    return o[0] != 0 && o[3] != 0 && o[3] != 255;
}

const AdapterEntry* adapterHolding(const AdapterTable& adapters, Ipv4 address) {
    const auto it = std::find_if(adapters.begin(), adapters.end(), [&](const AdapterEntry& e) {
        const auto all = addressesOf(e);
        return std::any_of(all.begin(), all.end(), [&](const AdapterAddress& a) { return a.ip == address; });
    });
    return it == adapters.end() ? nullptr : &*it;
}

Message notValidIpMessage(std::string_view typed) {
    return Message{std::string(typed) + std::string(loadResString(Str::NotValidIp)),
                   std::string(loadResString(Str::Product)), MessageIcon::Exclamation};
}

Result<FixedAddress, InvalidField> checkFixedAddress(std::string_view address, std::string_view mask,
                                                     std::string_view gateway) {
    const auto a = Ipv4::parse(address);
    if (!a || !isAcceptableDeviceAddress(*a)) {
        return Failure{InvalidField{FixedField::Address, std::string(address)}};
    }
    const auto m = Ipv4::parse(mask);
    if (!m) {
        return Failure{InvalidField{FixedField::Mask, std::string(mask)}};
    }
    const auto g = Ipv4::parse(gateway);
    if (!g) {
        return Failure{InvalidField{FixedField::Gateway, std::string(gateway)}};
    }
    return FixedAddress{*a, *m, *g};
}

} // namespace fw
