// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/VendorTable.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// Nested assignments as the IEEE hands them out: a 24-bit block of the IEEE's own holding 28- and
// 36-bit ones, registries in separate files and in any order.
constexpr std::string_view kMaL = "Registry,Assignment,Organization Name,Organization Address\n"
                                  "MA-L,0050C2,IEEE Registration Authority,445 Hoes Lane\n"
                                  "MA-L,000A1B,\"Stream Labs, \"\"Moscow\"\"\",\"Leninskie gori 1\nRU\"\r\n"
                                  "MA-L,000A1B,Second claim,\n"
                                  "MA-L,020000,Listed but local,\n"
                                  "MA-L,0A1B,Too short,\n";
constexpr std::string_view kMaS = "MA-S,0050C2123,Small Maker,\n"
                                  "IAB,0050C2124,Old Block,\n";
constexpr std::string_view kMaM = "MA-M,0050C21,Middle Maker,\n";

TEST(VendorTable, LongestAssignmentWinsAndLocalMacsSaySo) {
    const std::array files{kMaL, kMaS, kMaM};
    const VendorTable table = VendorTable::fromRegistries(files, "2022-08-27");
    const std::pair<MacAddress, std::string_view> cases[]{
        {{0x00, 0x50, 0xC2, 0x12, 0x3F, 0xFF}, "Small Maker"},  // 36 bits over 28 and 24
        {{0x00, 0x50, 0xC2, 0x12, 0x4A, 0x00}, "Old Block"},    // IAB counts as 36 bits
        {{0x00, 0x50, 0xC2, 0x12, 0x50, 0x00}, "Middle Maker"}, // 28 over 24
        {{0x00, 0x50, 0xC2, 0x20, 0x00, 0x00}, "IEEE Registration Authority"},
        {{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, "Stream Labs, \"Moscow\""}, // quoted; first claim
        {{0x00, 0x0A, 0x1C, 0x00, 0x00, 0x00}, ""},
        {{0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, VendorTable::kLocallyAdministered},
        {{0x0E, 0x0A, 0x1B, 0x00, 0x00, 0x05}, VendorTable::kLocallyAdministered},
    };
    for (const auto& [mac, vendor] : cases) {
        EXPECT_EQ(table.vendorOf(mac), vendor) << formatMac(mac);
    }
    EXPECT_EQ(table.size(), 7u); // the short assignment and the header are no assignments
    EXPECT_EQ(table.date(), "2022-08-27");
    EXPECT_EQ(VendorTable().vendorOf({0x00, 0x50, 0xC2, 0x12, 0x3F, 0xFF}), "");
}

} // namespace
} // namespace fw
