// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/core/SetIpPlan.h"

#include "setip/core/PlanEntry.h"

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

TEST(SetIpPlan, ActionTakenAndSettledEarlier) {
    const FixedAddress planned{ip("10.0.0.5"), ip("255.0.0.0"), Ipv4::any()};
    const PlanRow a{1, {0xA}, planned, ""};
    std::vector<DeviceRow> seen(3);
    seen[0].ip = ip("10.9.9.9"); // device A on two adapters, from two addresses; B on A's address
    seen[1].ip = seen[2].ip = planned.address;
    seen[0].mac = seen[1].mac = a.mac;
    seen[2].mac = {0xB};
    EXPECT_EQ(planAction(a, seen), PlanAction::Unchanged); // only the address can be compared
    EXPECT_EQ(planAction({1, a.mac, std::nullopt, ""}, seen), PlanAction::Send); // DHCP cannot be seen
    EXPECT_EQ(planAction(a, std::span(seen).first(1)), PlanAction::Send);
    EXPECT_EQ(planAction({1, {9}, planned, ""}, seen), PlanAction::NotFound);
    EXPECT_EQ(takenBy(a, seen, std::vector{a}), &seen[2]);
    EXPECT_EQ(takenBy(a, seen, std::vector{a, PlanRow{2, {0xB}, std::nullopt, ""}}), nullptr); // B moves
    PlanEntry done;
    done.row = a;
    EXPECT_FALSE(settledEarlier(a, std::vector{done})); // not found
    done.state = PlanState::Done;
    EXPECT_TRUE(settledEarlier(a, std::vector{done}));
    EXPECT_FALSE(settledEarlier({1, a.mac, FixedAddress{planned.address, ip("255.255.0.0"), {}}, ""},
                                std::vector{done}));
}

} // namespace
} // namespace fw
