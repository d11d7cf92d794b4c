#include "common/StringTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fw {
namespace {

// The texts operators see most, written out here as they must read (misspellings included).
struct Expected {
    std::uint16_t id;
    const char* text;
};

TEST(StringTable, TextsShownToOperatorsReadExactly) {
    const Expected cases[] = {
        {7, "Exit"},
        {9, "Delete &All"},
        {12, "Set IP Address..."},
        {13, "Upgrade FW..."},
        {16, "Fernwick"},
        {20, "Searching..."},
        {21, "Searching for Wireless Device on the network."},
        {24, "is not a valid IP address"},
        {25, "Data transmit finish"},
        {26, "Time Out"},
        {27, "This file not exist."},
        {28, "Please keyin Path."},
        {29, "Network adapter status error, Please recheck"},
        {30, "No network adapter card, please lanch a network card"},
        {31, "Exit Fernwick?"},
        {37, "Gatway can't set 0.0.0.0"},
        {39, "Set IP OK"},
        {40, "Set DHCP OK"},
        {41, "Downloading..."},
        {42, "Download file(*.bin)"},
        {43, "Set IP Failure"},
        {44, "Set DHCP Failure"},
        {45, "Value must be between 0 and 255"},
        {104, "Channel No"},
        {106, "Mac Address"},
        {201, "Block number is out of sequence."},
        {204, "Disk full or allocation exceeded."},
        {208, "No such user."},
        {251, "This is a AP Firmware, do you really want to update?"},
        {252, "This is a ethernet adapter Firmware, do you really want to update?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loadResString(c.id), c.text) << "id " << c.id;
    }
}

TEST(StringTable, HoldsAllInheritedIdsAndNoOthersBelow400) {
    int count = 0;
    for (int id = 0; id < 400; ++id) {
        count += hasResString(static_cast<std::uint16_t>(id)) ? 1 : 0;
    }
    EXPECT_EQ(count, 92);
    EXPECT_FALSE(hasResString(19));
    EXPECT_FALSE(hasResString(312));
}

TEST(StringTable, SameWordUnderSeveralIdsAndEnumMatchesNumbers) {
    EXPECT_EQ(loadResString(219), "Exit");
    EXPECT_EQ(loadResString(305), "Exit");
    EXPECT_EQ(loadResString(Str::Exit), "Exit");
    EXPECT_EQ(loadResString(Str::AdapterFirmwareQuestion), loadResString(252));
}

TEST(StringTable, UnknownIdIsAProgrammingError) {
    EXPECT_THROW(loadResString(19), std::out_of_range);
    EXPECT_THROW(loadResString(65535), std::out_of_range);
}

} // namespace
} // namespace fw
