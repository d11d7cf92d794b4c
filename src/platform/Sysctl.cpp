// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sysctl.h"

#include <fstream>

namespace fw {
namespace {

std::optional<int> readNumber(const std::string& path) {
    std::ifstream in(path);
    int value = 0;
    if (!(in >> value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<doctor::ReversePathFilter> Sysctl::reversePathFilter(const std::string& interfaceName) {
    // A name with '/' or a dot-only name would leave the conf directory.
    if (interfaceName.empty() || interfaceName.find('/') != std::string::npos || interfaceName == "." ||
        interfaceName == "..") {
        return std::nullopt;
    }
    const std::string base = "/proc/sys/net/ipv4/conf/";
    const auto all = readNumber(base + "all/rp_filter");
    const auto own = readNumber(base + interfaceName + "/rp_filter");
    if (!all || !own) {
        return std::nullopt;
    }
    return doctor::ReversePathFilter{*all, *own};
}

} // namespace fw
