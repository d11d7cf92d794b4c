// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/Sysctl.h"

#include <algorithm>
#include <fstream>
#include <optional>

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

// net.ipv4.conf.all.KEY and net.ipv4.conf.IF.KEY.
struct AllAndOwn {
    int all = 0;
    int own = 0;
};

Result<AllAndOwn, SettingError> allAndOwn(const std::string& interfaceName, const std::string& key) {
    // A name with '/' or a dot-only name would leave the conf directory.
    if (interfaceName.empty() || interfaceName.find('/') != std::string::npos || interfaceName == "." ||
        interfaceName == "..") {
        return Failure{SettingError::BadName};
    }
    const std::string base = "/proc/sys/net/ipv4/conf/";
    const auto all = readNumber(base + "all/" + key);
    const auto own = readNumber(base + interfaceName + "/" + key);
    if (!all || !own) {
        return Failure{SettingError::Unreadable};
    }
    return AllAndOwn{*all, *own};
}

} // namespace

Result<ReversePathFilter, SettingError> Sysctl::reversePathFilter(const std::string& interfaceName) {
    const auto values = allAndOwn(interfaceName, "rp_filter");
    if (!values) {
        return Failure{values.error()};
    }
    return ReversePathFilter{values->all, values->own};
}

bool Sysctl::arpFluxGuarded(const std::string& interfaceName) {
    const auto ignore = allAndOwn(interfaceName, "arp_ignore");
    const auto announce = allAndOwn(interfaceName, "arp_announce");
    return ignore && announce && std::max(ignore->all, ignore->own) >= 1 &&
           std::max(announce->all, announce->own) >= 2;
}

} // namespace fw
