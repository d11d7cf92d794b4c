// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/MacAddress.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Who made a network adapter, as the IEEE's registries name the owner of its MAC address's first
// 24 (MA-L), 28 (MA-M) or 36 bits (MA-S, and the older IAB): the longest assignment that matches
// wins, since the owner of a 24-bit block is the IEEE itself where it hands out smaller ones.
class VendorTable {
public:
    // What a MAC whose first byte has bit 0x02 set gets instead of a vendor: its owner chose it
    // (a virtual machine, a phone's private address, a device set up by hand), no maker did.
    static constexpr std::string_view kLocallyAdministered = "locally administered";

    VendorTable() = default; // knows no vendor

    // The assignments of registry files as the IEEE publishes them in CSV (a header, then
    // "Registry,Assignment,Organization Name,Organization Address" lines, UTF-8); lines of another
    // registry or that cannot be read are skipped. Where a file assigns a prefix twice, the first
    // line wins. `date` is the registries' date as the program shows it ("2022-08-27"), if known.
    static VendorTable fromRegistries(std::span<const std::string_view> files, std::string date = {});

    // The owner's name, kLocallyAdministered for such a MAC, or empty when no registry lists it.
    std::string_view vendorOf(const MacAddress& mac) const;

    std::size_t size() const;
    const std::string& date() const { return date_; }

private:
    struct Assignment {
        std::uint64_t prefix; // the assigned bits, right-aligned
        std::uint32_t offset; // the name in names_
        std::uint32_t length;
    };
    static constexpr std::array<unsigned, 3> kBits{36, 28, 24}; // longest first

    void add(std::string_view registry, std::string_view assignment, std::string_view name);

    std::array<std::vector<Assignment>, kBits.size()> byLength_; // sorted by prefix
    std::string names_;
    std::string date_;
};

} // namespace fw
