// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/FixedAddressCheck.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(FixedAddressCheck, ValuesDecideAndRefusalsQuoteTheText) {
    // {address, mask, gateway, the text a refusal quotes (empty: sent)}
    const std::vector<std::array<const char*, 4>> cases{
        {"10.0.0.1", "255.255.255.0", "10.0.0.254", ""},
        {"010.1.2.3", "0.0.0.0", "172.16.9.9", ""},       // decimal; mask and gateway not judged
        {"00.1.2.3", "255.0.0.0", "1.1.1.1", "00.1.2.3"}, // "00" is 0
        {"10.0.0.0", "255.0.0.0", "1.1.1.1", "10.0.0.0"},
        {"10.0.0.255", "255.0.0.0", "1.1.1.1", "10.0.0.255"},
        {"325.1.2.3", "255.0.0.0", "1.1.1.1", "325.1.2.3"},
        {"10.0.0.5", "255.255.325.0", "1.1.1.1", "255.255.325.0"}, // not addresses at all
        {"10.0.0.5", "255.0.0.0", "10..0.1", "10..0.1"},
    };
    for (const auto& [address, mask, gateway, refused] : cases) {
        const auto r = checkFixedAddress(address, mask, gateway);
        if (*refused == 0) {
            EXPECT_TRUE(r.has_value()) << address;
        } else {
            ASSERT_FALSE(r.has_value()) << address;
            EXPECT_EQ(notValidIpMessage(r.error().typed),
                      (Message{std::string(refused) + "is not a valid IP address", "Fernwick",
                               MessageIcon::Exclamation}));
        }
    }
    EXPECT_EQ(checkFixedAddress("010.1.2.3", "255.255.255.000", "010.0.0.254").value(),
              (FixedAddress{{{10, 1, 2, 3}}, {{255, 255, 255, 0}}, {{10, 0, 0, 254}}}));
}

} // namespace
} // namespace fw
