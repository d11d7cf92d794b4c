#include "common/Ipv4.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(Ipv4, ParsesStrictDottedDecimal) {
    struct Case {
        const char* text;
        std::optional<std::array<std::uint8_t, 4>> octets;
    };
    const Case cases[] = {
        {"192.168.1.20", {{192, 168, 1, 20}}},
        {"0.0.0.0", {{0, 0, 0, 0}}},
        {"255.255.255.255", {{255, 255, 255, 255}}},
        {"010.1.2.3", {{10, 1, 2, 3}}}, // decimal, never octal
        {"00.1.2.3", {{0, 1, 2, 3}}},
        {"256.1.2.3", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1.2.3.", std::nullopt},
        {".1.2.3", std::nullopt},
        {"1..2.3", std::nullopt},
        {"0x1.2.3.4", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {"1.2.3.0004", std::nullopt},
        {"-1.2.3.4", std::nullopt},
        {"", std::nullopt},
        {"16777217", std::nullopt}, // no short forms
    };
    for (const auto& c : cases) {
        const auto got = Ipv4::parse(c.text);
        if (c.octets) {
            ASSERT_TRUE(got.has_value()) << c.text;
            EXPECT_EQ(got->octets, *c.octets) << c.text;
        } else {
            EXPECT_FALSE(got.has_value()) << c.text;
        }
    }
}

TEST(Ipv4, RoundTripsThroughTextAndHostOrder) {
    const Ipv4 a{{10, 77, 1, 254}};
    EXPECT_EQ(a.toString(), "10.77.1.254");
    EXPECT_EQ(a.toHostOrder(), 0x0A4D01FEu);
    EXPECT_EQ(Ipv4::fromHostOrder(0x0A4D01FEu), a);
    EXPECT_EQ(Ipv4::parse(a.toString()), a);
}

} // namespace
} // namespace fw
