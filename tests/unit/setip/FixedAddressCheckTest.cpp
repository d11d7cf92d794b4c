#include "setip/core/FixedAddressCheck.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

TEST(FixedAddressCheck, DeviceAddressIsJudgedByItsValues) {
    const std::vector<std::pair<const char*, bool>> cases{
        {"10.0.0.1", true},         {"192.168.1.21", true}, {"0.0.0.0", false},
        {"255.255.255.255", false}, {"0.1.2.3", false},     {"10.0.0.0", false},
        {"10.0.0.255", false},      {"00.1.2.3", false}, // "00" is the number 0
        {"10.0.0.000", false},                           //
        {"010.1.2.3", true},                             // decimal, not octal
        {"255.1.2.3", true},  // only the first number 0 and the last 0/255 are refused
        {"12..3.4", false},   // an empty number is no address
        {"325.1.2.3", false}, // out of range
    };
    for (const auto& [text, accepted] : cases) {
        const auto result = checkFixedAddress(text, "255.255.255.0", "10.0.0.254");
        EXPECT_EQ(std::holds_alternative<FixedAddress>(result), accepted) << text;
        if (!accepted) {
            const auto& m = std::get<Message>(result);
            EXPECT_EQ(m.text, std::string(text) + "is not a valid IP address");
            EXPECT_EQ(m.title, "Fernwick");
            EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        }
    }
}

TEST(FixedAddressCheck, ValuesAreDecimal) {
    const auto result = checkFixedAddress("010.001.2.3", "255.255.255.000", "010.0.0.0254");
    // The gateway has a four-digit piece, which no box can hold and no address has.
    ASSERT_TRUE(std::holds_alternative<Message>(result));

    const auto ok = checkFixedAddress("010.001.2.3", "255.255.255.000", "010.0.0.254");
    ASSERT_TRUE(std::holds_alternative<FixedAddress>(ok));
    EXPECT_EQ(std::get<FixedAddress>(ok),
              (FixedAddress{ip("10.1.2.3"), ip("255.255.255.0"), ip("10.0.0.254")}));
}

TEST(FixedAddressCheck, MaskAndGatewayAreNotJudgedButMustBeAddresses) {
    EXPECT_TRUE(std::holds_alternative<FixedAddress>(checkFixedAddress("10.0.0.5", "0.0.0.0", "172.16.9.9")));
    EXPECT_TRUE(std::holds_alternative<FixedAddress>(checkFixedAddress("10.0.0.5", "1.2.3.4", "0.0.0.0")));

    const auto badMask = checkFixedAddress("10.0.0.5", "255.255.325.0", "10.0.0.254");
    ASSERT_TRUE(std::holds_alternative<Message>(badMask));
    EXPECT_EQ(std::get<Message>(badMask).text, "255.255.325.0is not a valid IP address");
    const auto badGateway = checkFixedAddress("10.0.0.5", "255.255.255.0", "10..0.1");
    ASSERT_TRUE(std::holds_alternative<Message>(badGateway));
    EXPECT_EQ(std::get<Message>(badGateway).text, "10..0.1is not a valid IP address");
}

} // namespace
} // namespace fw
