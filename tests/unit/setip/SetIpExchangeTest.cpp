#include "setip/core/SetIpExchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FakeIo final : SetIpExchange::Io {
    void send(std::span<const std::uint8_t> record) override {
        sent.emplace_back(record.begin(), record.end());
    }
    void show(const Message& m) override {
        shown.push_back(m);
        if (whileShown) {
            whileShown();
        }
    }
    std::vector<Bytes> sent;
    std::vector<Message> shown;
    std::function<void()> whileShown;
};

constexpr MacAddress kTarget{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr MacAddress kAdapterA{0x02, 0x00, 0x00, 0x00, 0x00, 0x0A};
constexpr MacAddress kAdapterB{0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};

Ipv4 ip(const char* text) {
    return Ipv4::parse(text).value();
}

Bytes reply(std::uint16_t sequence, std::uint8_t result, std::size_t size = 24) {
    Bytes b(size, 0);
    b[0] = 0x87;
    b[1] = 0x65;
    b[2] = 0x43;
    b[3] = 0x21;
    b[6] = static_cast<std::uint8_t>(sequence >> 8);
    b[7] = static_cast<std::uint8_t>(sequence);
    b[21] = result;
    return b;
}

struct ExchangeTest : ::testing::Test {
    AdapterTable adapters{AdapterEntry{"10.0.0.1", "255.255.255.0", "10.0.0.254", kAdapterA, "eth0", 2}};
    SetIpExchange exchange;
    FakeIo io;

    void openDialog() { exchange.open(adapters, "10.0.0.1", 0, kTarget); }
    void pressFixed(const char* a, const char* m, const char* g) {
        exchange.numberRequest();
        exchange.sendFixed(io, ip(a), ip(m), ip(g));
    }
    void pressDhcp() {
        exchange.numberRequest();
        exchange.sendDhcp(io);
    }
};

TEST_F(ExchangeTest, FixedRequestBytes) {
    openDialog();
    pressFixed("192.168.1.21", "255.255.255.0", "192.168.1.254");
    ASSERT_EQ(io.sent.size(), 1u);
    const Bytes expected{0x87, 0x65, 0x43, 0x21, 0x20, 0x10, 0x00, 0x01, // header, sequence 1
                         0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E,             // target
                         0x02, 0x00, 0x00, 0x00, 0x00, 0x0A,             // requester
                         192,  168,  1,    21,   255,  255,  255,  0,    192, 168, 1, 254};
    EXPECT_EQ(io.sent[0], expected);
    EXPECT_EQ(exchange.mode(), SetIpMode::Fixed);
}

TEST_F(ExchangeTest, NumberingComesBeforeValidationAndRestartsPerOpening) {
    openDialog();
    exchange.numberRequest(); // a press whose address was refused: nothing sent
    pressDhcp();
    ASSERT_EQ(io.sent.size(), 1u);
    EXPECT_EQ(io.sent[0][6], 0x00);
    EXPECT_EQ(io.sent[0][7], 0x02);

    openDialog();
    pressDhcp();
    EXPECT_EQ(io.sent.back()[7], 0x01);
}

TEST_F(ExchangeTest, SequenceIsHeldAt32767) {
    openDialog();
    for (int i = 0; i < 40000; ++i) {
        exchange.numberRequest();
    }
    EXPECT_EQ(exchange.sequence(), 32767);
    exchange.sendDhcp(io);
    EXPECT_EQ(io.sent[0][6], 0x7F);
    EXPECT_EQ(io.sent[0][7], 0xFF);
    exchange.onDatagram(io, reply(0x7FFF, 0));
    EXPECT_EQ(io.shown.size(), 1u);
}

TEST_F(ExchangeTest, DhcpRepeatsTheLastFixedValuesEvenAcrossOpenings) {
    openDialog();
    pressDhcp();
    EXPECT_EQ(Bytes(io.sent[0].begin() + 20, io.sent[0].end()), Bytes(12, 0));
    EXPECT_EQ(io.sent[0][5], 0x11);

    pressFixed("10.0.0.9", "255.0.0.0", "10.0.0.254");
    openDialog();
    pressDhcp();
    const Bytes& dhcp = io.sent.back();
    EXPECT_EQ(dhcp[4], 0x20);
    EXPECT_EQ(dhcp[5], 0x11);
    EXPECT_EQ(Bytes(dhcp.begin() + 20, dhcp.end()), (Bytes{10, 0, 0, 9, 255, 0, 0, 0, 10, 0, 0, 254}));
}

TEST_F(ExchangeTest, RepliesThatAreNotAnswersAreIgnored) {
    openDialog();
    pressFixed("10.0.0.9", "255.255.255.0", "10.0.0.254");
    pressFixed("10.0.0.9", "255.255.255.0", "10.0.0.254"); // latest number is 2
    Bytes badMagic = reply(2, 0);
    badMagic[3] = 0x20;
    const std::vector<Bytes> ignored{
        reply(2, 0, 23),  // too short
        badMagic,         //
        reply(1, 0),      // an earlier request, even though it reports success
        reply(0x0200, 0), // bytes 6-7 the wrong way round
        reply(2, 2),      // neither done nor refused
        reply(2, 0xFF),   //
        Bytes{},          //
    };
    for (const Bytes& d : ignored) {
        exchange.onDatagram(io, d);
    }
    EXPECT_TRUE(io.shown.empty());
    EXPECT_EQ(io.sent.size(), 2u);
}

TEST_F(ExchangeTest, NothingIsAnsweredBeforeTheFirstRequestOfAnOpening) {
    openDialog();
    exchange.onDatagram(io, reply(0, 0));
    EXPECT_TRUE(io.shown.empty());
    EXPECT_TRUE(io.sent.empty());
}

TEST_F(ExchangeTest, OutcomeMessagesByMode) {
    struct Case {
        bool fixed;
        std::uint8_t result;
        const char* text;
        std::size_t acks;
    };
    const std::vector<Case> cases{
        {true, 0, "Set IP OK", 1},
        {false, 0, "Set DHCP OK", 1},
        {true, 1, "Set IP Failure", 0},
        {false, 1, "Set DHCP Failure", 0},
    };
    for (const auto& c : cases) {
        io = FakeIo{};
        openDialog();
        if (c.fixed) {
            pressFixed("10.0.0.9", "255.255.255.0", "10.0.0.254");
        } else {
            pressDhcp();
        }
        exchange.onDatagram(io, reply(1, c.result, 60)); // longer replies are fine
        ASSERT_EQ(io.shown.size(), 1u) << c.text;
        EXPECT_EQ(io.shown[0].text, c.text);
        EXPECT_EQ(io.shown[0].title, "Fernwick");
        EXPECT_EQ(io.shown[0].icon, MessageIcon::Information);
        EXPECT_EQ(io.sent.size(), 1 + c.acks) << c.text;
    }
}

TEST_F(ExchangeTest, AckIsTheRequestWithA099SentAfterTheMessageCloses) {
    openDialog();
    pressFixed("10.0.0.9", "255.255.255.0", "10.0.0.254");
    const Bytes request = io.sent[0];
    std::size_t sentWhileShown = 0;
    io.whileShown = [&] {
        sentWhileShown = io.sent.size();
    };
    exchange.onDatagram(io, reply(1, 0));
    EXPECT_EQ(sentWhileShown, 1u);
    ASSERT_EQ(io.sent.size(), 2u);
    Bytes expected = request;
    expected[4] = 0xA0;
    expected[5] = 0x99;
    EXPECT_EQ(io.sent[1], expected);

    // The same reply again is acted on again.
    exchange.onDatagram(io, reply(1, 0));
    EXPECT_EQ(io.shown.size(), 2u);
    EXPECT_EQ(io.sent.back(), expected);

    // The next request is a request again.
    pressDhcp();
    EXPECT_EQ(io.sent.back()[4], 0x20);
    EXPECT_EQ(io.sent.back()[5], 0x11);
}

TEST_F(ExchangeTest, AdapterIsMatchedByItsWholeAddress) {
    adapters = {AdapterEntry{"10.0.0.1", "255.255.255.0", "", kAdapterA, "eth0", 2},
                AdapterEntry{"10.0.0.12", "255.255.255.0", "", kAdapterB, "eth1", 3}};
    struct Case {
        const char* local;
        int previous;
        int chosen;
    };
    const std::vector<Case> cases{
        {"10.0.0.1", 1, 0},  // not the 10.0.0.12 entry, which only begins like it
        {"10.0.0.12", 0, 1}, //
        {"10.0.0.", 1, 1},   // no whole match: the previous choice stays
        {"", 1, 1},          //
        {"10.9.9.9", 7, 0},  // a previous choice the table no longer has falls back to 0
    };
    for (const auto& c : cases) {
        io = FakeIo{};
        EXPECT_EQ(exchange.open(adapters, c.local, c.previous, kTarget), c.chosen) << c.local;
        pressDhcp();
        const MacAddress& mac = c.chosen == 0 ? kAdapterA : kAdapterB;
        EXPECT_EQ(Bytes(io.sent[0].begin() + 14, io.sent[0].begin() + 20), Bytes(mac.begin(), mac.end()))
            << c.local;
    }
}

TEST_F(ExchangeTest, EmptyAdapterTableGivesIndexZeroAndNoRequesterMac) {
    EXPECT_EQ(exchange.open({}, "10.0.0.1", 3, kTarget), 0);
    pressDhcp();
    EXPECT_EQ(Bytes(io.sent[0].begin() + 14, io.sent[0].begin() + 20), Bytes(6, 0));
}

} // namespace
} // namespace fw
