#include "ipcontrol/core/IpAddressModel.h"
#include "common/StringTable.h"
#include "ipcontrol/core/NumericValue.h"

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
    void showMessage(const Message& m) override { messages.push_back(m); }
    std::vector<std::string> sets;
    std::vector<std::string> changes;
    std::vector<int> advances;
    std::vector<Message> messages;
};

struct ModelTest : ::testing::Test {
    Recorder rec;
    IpAddressModel model{rec};
};

TEST(NumericValue, ReadsLikeTheOperatorMeansIt) {
    const std::vector<std::pair<std::string, std::int64_t>> cases{
        {"", 0},
        {"abc", 0},
        {" 9x", 9},
        {"010", 10},
        {"1 2", 12},
        {"-5", -5},
        {"+7", 7},
        {"--5", 0},
        {"5-3", 5},
        {"\t4\n", 4},
        {"00", 0},
        {"255", 255},
        {"99999999999999999999999", 1'000'000'000'000},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(numericValue(text), value) << '"' << text << '"';
    }
}

TEST_F(ModelTest, WriteNormalisesPadsAndClamps) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"192.168.1.5", "192.168.1.5"},
        {"10.1.2", "10.1.2.0"},
        {"", "0.0.0.0"},
        {"300.-5.abc.7", "255.0.0.7"},
        {"1.2.3.4.5", "1.2.3.4"},
        {" 7.8 .9x.010", "7.8.9.10"},
        {"...", "0.0.0.0"},
        {"007.0.0.01", "7.0.0.1"},
        // Beyond the 32-bit range: held at the bound like any other large number, never half-written.
        {"99999999999.1.2.3", "255.1.2.3"},
        {"-99999999999.1.2.3", "0.1.2.3"},
    };
    for (const auto& [in, out] : cases) {
        model.setIpAddress("9.9.9.9");
        model.setIpAddress(in);
        EXPECT_EQ(model.ipAddress(), out) << '"' << in << '"';
        EXPECT_EQ(rec.changes.back(), out);
    }
}

TEST_F(ModelTest, WriteRaisesChangeOncePerChangedBoxAndOnceAtTheEnd) {
    model.setIpAddress("1.2.3.4");
    EXPECT_EQ(rec.changes, (std::vector<std::string>{"1.0.0.0", "1.2.0.0", "1.2.3.0", "1.2.3.4", "1.2.3.4"}));
    EXPECT_EQ(rec.sets, (std::vector<std::string>{"0=1", "1=2", "2=3", "3=4"}));

    rec.changes.clear();
    rec.sets.clear();
    model.setIpAddress("1.2.3.4");
    EXPECT_EQ(rec.changes, (std::vector<std::string>{"1.2.3.4"}));
    EXPECT_TRUE(rec.sets.empty());
    // Three-digit numbers written by the program never move the focus.
    model.setIpAddress("192.168.100.200");
    EXPECT_TRUE(rec.advances.empty());
}

TEST_F(ModelTest, IpValueReadsWritesAndRejectsBadIndexes) {
    model.setIpAddress("10.20.30.40");
    EXPECT_EQ(model.ipValue(0), 10);
    EXPECT_EQ(model.ipValue(3), 40);
    EXPECT_TRUE(rec.messages.empty());

    for (const int bad : {-1, 4}) {
        rec.messages.clear();
        EXPECT_EQ(model.ipValue(bad), 0);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].text, "Index must be between 0 and 3");
        EXPECT_EQ(rec.messages[0].title, "Fernwick");
        EXPECT_EQ(rec.messages[0].icon, MessageIcon::Exclamation);
    }

    model.setIpValue(3, 256);
    EXPECT_EQ(model.ipAddress(), "10.20.30.255");
    model.setIpValue(1, -1);
    EXPECT_EQ(model.ipAddress(), "10.0.30.255");

    rec.messages.clear();
    rec.changes.clear();
    rec.sets.clear();
    model.setIpValue(4, 1);
    EXPECT_EQ(rec.messages.size(), 1u);
    EXPECT_TRUE(rec.sets.empty());
    EXPECT_EQ(rec.changes, (std::vector<std::string>{"10.0.30.255"})); // still raised
}

TEST_F(ModelTest, TypedTextsAreKeptAsTheyStand) {
    model.boxEdited(0, "12");
    model.boxEdited(1, "");
    model.boxEdited(2, "3");
    model.boxEdited(3, "4");
    EXPECT_EQ(model.ipAddress(), "12..3.4");
    EXPECT_TRUE(model.isValidIp());
    EXPECT_EQ(rec.changes.back(), "12..3.4");

    rec.changes.clear();
    model.boxEdited(0, "325");
    EXPECT_FALSE(model.isValidIp());
    EXPECT_TRUE(rec.changes.empty()); // no Change while a box is out of range
}

TEST_F(ModelTest, ThreeTypedDigitsMoveOnExceptInTheLastBox) {
    model.boxEdited(0, "19");
    EXPECT_TRUE(rec.advances.empty());
    model.boxEdited(0, "192");
    EXPECT_EQ(rec.advances, (std::vector<int>{1}));
    model.boxEdited(3, "192");
    EXPECT_EQ(rec.advances, (std::vector<int>{1}));
}

TEST_F(ModelTest, KeyVerdicts) {
    using V = IpAddressModel::KeyVerdict;
    struct Case {
        std::string text;
        char key;
        bool selection;
        V verdict;
    };
    const std::vector<Case> cases{
        {"25", '6', false, V::Refuse}, // 256
        {"25", '5', false, V::Accept}, // 255
        {"99", '1', false, V::Refuse}, // judged as 991 whatever the caret
        {"25", '3', false, V::Accept}, // judged as 253; at the caret start it makes 325
        {"255", '9', true, V::Accept}, // replaces the selection
        {"0", '0', false, V::Accept},  // "00" is 0
        {"", 'a', false, V::Refuse},     {"1", '-', false, V::Refuse},  {"1", ' ', false, V::Refuse},
        {"1", '\x16', false, V::Refuse}, // Ctrl+V
        {"1", '\r', false, V::Refuse},   {"1", '.', false, V::NextBox}, {"1", '\b', false, V::Accept},
    };
    for (const auto& c : cases) {
        model.boxEdited(2, c.text);
        EXPECT_EQ(model.keyTyped(2, c.key, c.selection), c.verdict) << c.text << " + " << int(c.key);
    }
}

TEST(IpAddressModelArrows, CrossOnlyAtTheEdges) {
    using A = IpAddressModel::Arrow;
    struct Case {
        int box;
        A arrow;
        int selectionStart;
        int length;
        std::optional<int> target;
    };
    const std::vector<Case> cases{
        {2, A::Left, 0, 3, 1},  {2, A::Left, 1, 3, std::nullopt},  {0, A::Left, 0, 3, std::nullopt},
        {1, A::Right, 2, 2, 2}, {1, A::Right, 0, 2, std::nullopt}, {3, A::Right, 3, 3, std::nullopt},
        {1, A::Right, 0, 0, 2}, // empty box: the caret is at its end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IpAddressModel::arrowTarget(c.box, c.arrow, c.selectionStart, c.length), c.target)
            << c.box << (c.arrow == A::Left ? " left " : " right ") << c.selectionStart << "/" << c.length;
    }
}

TEST_F(ModelTest, LeavingABoxFillsZeroAndChecksTheRange) {
    model.boxEdited(1, "");
    rec.changes.clear();
    EXPECT_FALSE(model.boxLeft(1));
    EXPECT_EQ(model.boxText(1), "0");
    EXPECT_EQ(rec.changes, (std::vector<std::string>{"0.0.0.0"}));

    model.boxEdited(0, "325");
    EXPECT_TRUE(model.boxLeft(0));
    EXPECT_EQ(model.boxText(0), "325"); // left for the operator to correct
    EXPECT_EQ(IpAddressModel::rangeMessage().text, loadResString(Str::ValueRange));
}

} // namespace
} // namespace fw
