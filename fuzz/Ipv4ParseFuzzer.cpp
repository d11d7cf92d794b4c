// SPDX-License-Identifier: GPL-3.0-or-later
// Every typed address goes through the strict dotted-decimal parser.
#include "FuzzInput.h"
#include "common/Ipv4.h"

#include <string_view>

namespace {

// Four groups of one to three digits, each at most 255, joined by single dots.
bool strictlyDotted(std::string_view t) {
    int groups = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(t[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return false;
        }
        if (++groups == 4) {
            return i == t.size();
        }
        if (i >= t.size() || t[i] != '.') {
            return false;
        }
        ++i;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto ip = fw::Ipv4::parse(text);
    fw::fuzz::require(ip.has_value() == strictlyDotted(text), "strict dotted decimal");
    if (ip) {
        fw::fuzz::require(fw::Ipv4::parse(ip->toString()) == ip, "round trip");
        fw::fuzz::require(fw::Ipv4::fromHostOrder(ip->toHostOrder()) == *ip, "host order round trip");
    }
    return 0;
}
