// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/Message.h"
#include "common/Result.h"

#include <string>
#include <string_view>

namespace fw {

struct FixedAddress {
    Ipv4 address;
    Ipv4 mask;
    Ipv4 gateway;

    bool operator==(const FixedAddress&) const = default;
};

// A device address the dialog sends: first number not 0, last number neither 0 nor 255 (which also
// keeps out 0.0.0.0 and 255.255.255.255). Judged on the values, so "010.1.2.3" is 10.1.2.3.
bool isAcceptableDeviceAddress(Ipv4 address);

// The local adapter that already holds the address (its first or any further one), or null: a
// device given it would answer from the workstation's own address, and the two could no longer
// reach each other.
const AdapterEntry* adapterHolding(const AdapterTable& adapters, Ipv4 address);

// The refusal: the text as typed, then "is not a valid IP address" with no blank between.
Message notValidIpMessage(std::string_view typed);

enum class FixedField { Address, Mask, Gateway };

// The first of the three texts refused, as typed: the refusal (notValidIpMessage) quotes it.
struct InvalidField {
    FixedField field = FixedField::Address;
    std::string typed;
    bool operator==(const InvalidField&) const = default;
};

// The three texts of the static option, read as decimal numbers. The address must be acceptable;
// mask and gateway are taken as they are, but a text that is no address at all (a number above 255
// or an empty number) is refused like a bad address rather than sent as something else.
Result<FixedAddress, InvalidField> checkFixedAddress(std::string_view address, std::string_view mask,
                                                     std::string_view gateway);

} // namespace fw
