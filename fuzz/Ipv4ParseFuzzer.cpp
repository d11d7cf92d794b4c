// SPDX-License-Identifier: GPL-3.0-or-later
// Every typed address goes through the strict dotted-decimal parser.
#include "FuzzInput.h"
#include "common/Ipv4.h"

#include <algorithm>
#include <regex>
#include <string_view>

namespace {

// Four groups of one to three digits, each at most 255, joined by single dots.
bool strictlyDotted(std::string_view t) {
    static const std::regex dotted("([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})");
    std::cmatch m;
    return std::regex_match(t.begin(), t.end(), m, dotted) &&
           std::all_of(m.begin() + 1, m.end(), [](const auto& g) { return std::stoi(g.str()) <= 255; });
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
