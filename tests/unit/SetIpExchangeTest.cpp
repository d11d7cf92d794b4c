// SPDX-License-Identifier: GPL-3.0-or-later
#include "setip/SetIpExchange.h"

#include "common/RecordNumbers.h"
#include "setip/SetIpAnswerText.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr MacAddress kTarget{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};

// The device's answer: the head of the request, its MAC at 8-13 (or at 14-19), the result at 21.
Bytes reply(std::uint16_t sequence, std::uint8_t result, std::size_t size = 24,
            const MacAddress& mac = kTarget, std::size_t macAt = 8) {
    Bytes b(size, 0);
    b[0] = 0x87, b[1] = 0x65, b[2] = 0x43, b[3] = 0x21, b[21] = result;
    b[6] = static_cast<std::uint8_t>(sequence >> 8), b[7] = static_cast<std::uint8_t>(sequence);
    std::copy(mac.begin(), mac.end(), b.begin() + static_cast<std::ptrdiff_t>(macAt));
    return b;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t n) {
    return {b.begin() + from, b.begin() + from + n};
}

struct ExchangeTest : ::testing::Test {
    AdapterTable adapters{{Ipv4::parse("10.0.0.1"), {}, {}, {2, 0, 0, 0, 0, 0xA}, "eth0", 2},
                          {Ipv4::parse("10.0.0.12"), {}, {}, {2, 0, 0, 0, 0, 0xB}, "eth1", 3}};
    SetIpExchange exchange;
    RecordNumbers numbers;

    void open() { exchange.open(adapters, Ipv4::parse("10.0.0.1"), 0, kTarget); }
    Bytes press(bool fixed) {
        exchange.numberRequest(numbers.next());
        const SetIpRecord r =
            fixed ? exchange.requestFixed(*Ipv4::parse("192.168.1.21"), *Ipv4::parse("255.255.255.0"),
                                          *Ipv4::parse("192.168.1.254"))
                  : exchange.requestDhcp();
        return {r.begin(), r.end()};
    }
};

TEST_F(ExchangeTest, RequestsAndTheirNumbers) {
    open();
    exchange.numberRequest(numbers.next()); // a press the dialog refused: nothing sent, number used up
    std::vector<Bytes> sent{press(false)};  // DHCP before any fixed request: zeros at 20-31
    sent.push_back(press(true));
    open();
    sent.push_back(press(false)); // a new opening numbers on and repeats the last fixed values
    const Bytes fixed{0x87, 0x65, 0x43, 0x21, 0x20, 0x10, 0x00, 0x03, 0x00, 0x0A, 0x1B,
                      0x2C, 0x3D, 0x4E, 2,    0,    0,    0,    0,    0x0A, 192,  168,
                      1,    21,   255,  255,  255,  0,    192,  168,  1,    254};
    EXPECT_EQ(slice(sent[0], 4, 4), (Bytes{0x20, 0x11, 0x00, 0x02}));
    EXPECT_EQ(slice(sent[0], 20, 12), Bytes(12, 0));
    EXPECT_EQ(sent[1], fixed);
    EXPECT_EQ(slice(sent[2], 4, 4), (Bytes{0x20, 0x11, 0x00, 0x04}));
    EXPECT_EQ(slice(sent[2], 8, 24), slice(fixed, 8, 24));

    // The run's numbers stay positive: after 32767 they start at 1 again, never 0 or negative.
    RecordNumbers last(32767);
    EXPECT_EQ(std::vector<int>({last.next(), last.next(), last.next()}), std::vector<int>({32767, 1, 2}));
    EXPECT_EQ(RecordNumbers(-5).next(), 1);
}

// Only the named device's answer to the latest request counts: an answer naming another MAC (a
// slow device answering an earlier exchange), carrying another number, behind a wrong magic, one
// byte short of 24 or with a result other than 0 and 1 changes nothing.
TEST_F(ExchangeTest, TheAnswerMustNameTheDevice) {
    constexpr MacAddress kOther{0x00, 0x0A, 0x1B, 0x00, 0x00, 0x09};
    open();
    press(false);
    Bytes badMagic = reply(1, 0);
    badMagic[3] = 0x20;
    for (const Bytes& forged : {reply(1, 0, 32, kOther), reply(1, 0, 32, kOther, 14), reply(0, 0),
                                reply(2, 0), badMagic, reply(1, 0, 23), reply(1, 2), reply(1, 255)}) {
        EXPECT_FALSE(exchange.onDatagram(forged));
    }
    EXPECT_TRUE(exchange.onDatagram(reply(1, 1, 32, kTarget, 14))); // worded like a discovery reply
}

TEST_F(ExchangeTest, OutcomesAndTheAcknowledgement) {
    // Set IP OK and Set IP Failure: CliNet.SetIpMovesAForeignSubnetDeviceAndReportsRefusalsAndSilence.
    struct Case {
        std::uint8_t result;
        const char* text;
    };
    for (const Case& c : {Case{0, "Set DHCP OK"}, Case{1, "Set DHCP Failure"}}) {
        open();
        const Bytes request = press(false);
        const auto number = static_cast<std::uint16_t>(exchange.sequence());
        SetIpRecord ack{};
        std::copy(request.begin(), request.end(), ack.begin());
        ack[4] = 0xA0, ack[5] = 0x99;
        const SetIpAnswered expected{
            {c.result == 0 ? SetIpResult::Done : SetIpResult::Refused, SetIpMode::Dhcp},
            c.result == 0 ? std::optional(ack) : std::nullopt};
        EXPECT_EQ(exchange.onDatagram(reply(number, c.result, 60)), expected);
        const auto again = exchange.onDatagram(reply(number, c.result)); // a repeated reply is acted on again
        EXPECT_EQ(again, expected);
        EXPECT_EQ(loadResString(setIpAnswerText(again.value().answer)), c.text);
    }
}

TEST_F(ExchangeTest, AdapterIsMatchedByItsWholeAddress) {
    // 10.0.0.1 must not pick 10.0.0.12; with no match the previous choice stays if it still exists.
    const std::vector<std::tuple<const char*, int, int>> cases{
        {"10.0.0.1", 1, 0}, {"10.0.0.12", 0, 1}, {"", 1, 1}, {"10.9.9.9", 7, 0}};
    for (const auto& [local, previous, chosen] : cases) {
        EXPECT_EQ(exchange.open(adapters, Ipv4::parse(local), previous, kTarget), chosen) << local;
        EXPECT_EQ(press(false)[19], chosen == 0 ? 0xA : 0xB) << local;
    }
    EXPECT_EQ(exchange.open({}, Ipv4::parse("10.0.0.1"), 3, kTarget), 0);
}

} // namespace
} // namespace fw
