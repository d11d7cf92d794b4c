// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpPlan.h"

#include "setip/PlanEntry.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using E = PlanError;

Ipv4 ip(const char* text) {
    return *Ipv4::parse(text);
}

TEST(SetIpPlan, ReadsColumnsInAnyOrderQuotesAndDhcp) {
    const auto rows = parseSetIpPlan("\xEF\xBB\xBF# site B\r\nLabel, MAC,gateway,ip,Mask\r\n"
                                     "\"mast 3, \"\"north\"\"\",00-0A-1B-2C-3D-4E,,10.0.0.5,255.255.255.0\n\n"
                                     "  # spare\nroof,00:0a:1b:2c:3d:4f,,DHCP,\n")
                          .value();
    EXPECT_EQ(rows, (std::vector<PlanRow>{{3,
                                           {0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E},
                                           FixedAddress{ip("10.0.0.5"), ip("255.255.255.0"), Ipv4::any()},
                                           "mast 3, \"north\""},
                                          {6, {0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4F}, std::nullopt, "roof"}}));
}

TEST(SetIpPlan, ReportsEveryBadRowWithItsLine) {
    const auto problems = parseSetIpPlan("mac,ip,mask,gateway\n"
                                         "000A1B2C3D01,10.0.0.1,255.255.255.0,\n"
                                         "000A1B2C3D02,10.0.0.1,255.255.255.0,10.0.0.254\n"
                                         "000A1B2C3D01,10.0.0.3,255.255.255.0,\n"
                                         "000A1B2C3D0,10.0.0.255,,gw\n"
                                         "000A1B2C3D05,dhcp,255.0.0.0,\n"
                                         "000A1B2C3D06,10.0.0.6\n"
                                         "\"000A1B2C3D07,10.0.0.7,255.0.0.0,\n")
                              .error();
    EXPECT_EQ(problems, (std::vector<PlanProblem>{{E::RepeatedAddress, 3, "10.0.0.1", 2},
                                                  {E::RepeatedMac, 4, "00-0A-1B-2C-3D-01", 2},
                                                  {E::BadMac, 5, "000A1B2C3D0"},
                                                  {E::BadAddress, 5, "10.0.0.255"},
                                                  {E::BadMask, 5, ""},
                                                  {E::BadGateway, 5, "gw"},
                                                  {E::DhcpWithAddress, 6, "255.0.0.0"},
                                                  {E::FieldCount, 7, "000A1B2C3D06,10.0.0.6"},
                                                  {E::BadQuotes, 8, "\"000A1B2C3D07,10.0.0.7,255.0.0.0,"}}));
    EXPECT_EQ(parseSetIpPlan("# nothing\n").error(), (std::vector<PlanProblem>{{E::NoHeader, 1, {}}}));
    EXPECT_EQ(parseSetIpPlan("mac,ip,mask,vlan,ip\n").error(),
              (std::vector<PlanProblem>{{E::UnknownColumn, 1, "vlan"},
                                        {E::RepeatedColumn, 1, "ip"},
                                        {E::MissingColumn, 1, "gateway"}}));
}

// A row is back only when its device answers from the planned address and no other device does
// (a plan member that refused to move away, or kept its address over DHCP).
TEST(SetIpPlan, VerifiedBackOnlyWhenNoOtherDeviceAnswersFromTheAddress) {
    const Ipv4 eleven = ip("10.77.1.11");
    const PlanRow a{1, {0xA}, FixedAddress{eleven, ip("255.255.255.0"), Ipv4::any()}, ""};
    const PlanRow dhcp{2, {0xB}, std::nullopt, ""};
    const auto device = [](std::uint8_t mac, const char* at) {
        DeviceRow d;
        d.mac = {mac};
        d.ip = ip(at);
        return d;
    };
    using S = PlanSighting;
    const struct {
        const char* name;
        const PlanRow& row;
        std::vector<DeviceRow> seen;
        PlanSighting sighting;
        std::optional<std::uint8_t> other;
    } cases[] = {
        {"alone on it", a, {device(0xA, "10.77.1.11"), device(0xB, "10.77.1.12")}, S::Back, {}},
        {"B still on it", a, {device(0xB, "10.77.1.11"), device(0xA, "10.77.1.11")}, S::Shared, 0xB},
        {"not moved", a, {device(0xA, "10.77.1.10"), device(0xB, "10.77.1.11")}, S::Elsewhere, {}},
        {"on two adapters, one moved",
         a,
         {device(0xA, "10.77.1.10"), device(0xA, "10.77.1.11")},
         S::Back,
         {}},
        {"silent", a, {device(0xB, "10.77.1.11")}, S::Silent, {}},
        {"dhcp kept A's address",
         dhcp,
         {device(0xA, "10.77.1.11"), device(0xB, "10.77.1.11")},
         S::Shared,
         0xA},
        {"dhcp alone", dhcp, {device(0xB, "10.77.1.40")}, S::Back, {}},
    };
    for (const auto& c : cases) {
        const PlanCheck check = checkRow(c.row, c.seen);
        EXPECT_EQ(check.sighting, c.sighting) << c.name;
        EXPECT_EQ(check.other ? std::optional(check.other->mac[0]) : std::nullopt, c.other) << c.name;
        EXPECT_EQ(check.device != nullptr, c.sighting != S::Silent) << c.name;
    }
}

} // namespace
} // namespace fw
