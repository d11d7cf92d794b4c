#include "ipcontrol/core/IpAddressModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

struct Recorder final : IpAddressModel::Listener {
    void boxTextSet(int box, const std::string& text) override {
        sets.push_back(std::to_string(box) + "=" + text);
    }
    void changed(const std::string& ip) override { changes.push_back(ip); }
    void advanceTo(int box) override { advances.push_back(box); }
    void showMessage(const Message& m) override { messages.push_back(m.text); }
    std::vector<std::string> sets, changes, messages;
    std::vector<int> advances;
};

struct ModelTest : ::testing::Test {
    Recorder rec;
    IpAddressModel model{rec};
};

TEST_F(ModelTest, WritesNormalisePadAndClamp) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"192.168.1.5", "192.168.1.5"},
        {"10.1.2", "10.1.2.0"},
        {"", "0.0.0.0"},
        {"300.-5.abc.7", "255.0.0.7"},
        {"1.2.3.4.5", "1.2.3.4"},
        {" 7.8 .9x.010", "7.8.9.10"},
        {"1 2.+3.--4.4-1", "12.3.0.4"},
        {"99999999999.1.2.3", "255.1.2.3"}, // beyond 32 bits: clamped too
    };
    for (const auto& [in, out] : cases) {
        model.setIpAddress(in);
        EXPECT_EQ(model.ipAddress(), out) << '"' << in << '"';
        EXPECT_EQ(rec.changes.back(), out);
    }
    model.setIpAddress("0.0.0.0");
    rec.changes.clear();
    model.setIpAddress("1.2.3.4"); // Change per changed box, then once more
    EXPECT_EQ(rec.changes, (std::vector<std::string>{"1.0.0.0", "1.2.0.0", "1.2.3.0", "1.2.3.4", "1.2.3.4"}));
    model.setIpAddress("192.168.100.200");
    EXPECT_TRUE(rec.advances.empty()); // the program's writes never move the focus

    EXPECT_EQ(model.ipValue(3), 200);
    EXPECT_EQ(model.ipValue(-1), 0);
    model.setIpValue(3, 256);
    model.setIpValue(1, -1);
    EXPECT_EQ(model.ipAddress(), "192.0.100.255");
    rec.sets.clear();
    model.setIpValue(4, 1);
    EXPECT_TRUE(rec.sets.empty());
    EXPECT_EQ(rec.changes.back(), "192.0.100.255"); // raised all the same
    EXPECT_EQ(rec.messages, std::vector<std::string>(2, "Index must be between 0 and 3"));
}

TEST_F(ModelTest, TypedTextsStandAsTheyAre) {
    model.boxEdited(0, "12");
    model.boxEdited(1, "");
    model.boxEdited(3, "4");
    EXPECT_EQ(model.ipAddress(), "12..0.4");
    EXPECT_TRUE(model.isValidIp());
    model.boxEdited(0, "325");
    EXPECT_FALSE(model.isValidIp());
    EXPECT_EQ(rec.changes.back(), "12..0.4"); // nothing raised while out of range
    EXPECT_EQ(rec.advances, (std::vector<int>{1}));
    model.boxEdited(3, "192");
    EXPECT_EQ(rec.advances.size(), 1u); // not from the last box
    EXPECT_TRUE(model.boxLeft(0));      // out of range: the caller complains
    EXPECT_FALSE(model.boxLeft(1));
    EXPECT_EQ(model.boxText(1), "0");
}

TEST_F(ModelTest, KeyVerdicts) {
    using V = IpAddressModel::KeyVerdict;
    const std::vector<std::tuple<const char*, char, bool, V>> cases{
        {"25", '6', false, V::Refuse},   {"25", '5', false, V::Accept}, {"99", '1', false, V::Refuse}, // 991
        {"255", '9', true, V::Accept},   {"0", '0', false, V::Accept},  {"1", 'a', false, V::Refuse},
        {"1", '\x16', false, V::Refuse}, {"1", '.', false, V::NextBox}, {"1", '\b', false, V::Accept},
    };
    for (const auto& [text, key, selection, verdict] : cases) {
        model.boxEdited(2, text);
        EXPECT_EQ(model.keyTyped(2, key, selection), verdict) << text << " + " << int(key);
    }
}

} // namespace
} // namespace fw
