// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/VirtualLink.h"
#include "upgrade/TftpPackets.h"

#include <gtest/gtest.h>

#include <ranges>

namespace fw::test {
namespace {

constexpr Ipv4 kDevice = Device::kIp;
constexpr Ms kSecondRequestAt{13000};
constexpr Ms kLongAfter{10 * 60 * 1000};
using Outcome = TftpUpload::Outcome;
using Strings = std::vector<std::string>;

Bytes withText(Bytes head, std::string_view text) {
    head.insert(head.end(), text.begin(), text.end());
    head.push_back(0);
    return head;
}

bool isData(const Sent& s, std::uint16_t block) {
    return s.bytes.size() >= 4 && s.bytes[1] == 3 && ((s.bytes[2] << 8) | s.bytes[3]) == block;
}

class Upload : public ::testing::Test {
protected:
    VirtualLink link;
    UploadCarryOver carry;
    TftpUpload upload{carry};

    void start(std::size_t size) { link.start(upload, kDevice, labImage(size, 1)); }
    void runTo(Ms t) { link.run(upload, t); }
    // Delivers one datagram now and handles it.
    void arrive(Bytes b, std::uint16_t port = 40001, Ipv4 from = kDevice) {
        link.deliver(link.now, UdpAddress{from, port}, std::move(b));
        runTo(link.now);
    }
    const Sent& last() const { return link.sent.back(); }
};

TEST_F(Upload, StartSequenceSendsTwoRequestsWithTheSocketClosedBetween) {
    start(100);
    // An ACK before any request, and one while the socket is closed, change nothing.
    link.deliver(Ms{500}, {kDevice, 40001}, ack(0));
    link.deliver(Ms{1001}, {kDevice, 40001}, ack(0));
    runTo(Ms{12999});
    EXPECT_FALSE(link.socketOpen);
    runTo(kSecondRequestAt);

    const Bytes wrq{0x00, 0x02, 0x2F, 0x00, 0x6F, 0x63, 0x74, 0x65, 0x74, 0x00};
    ASSERT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(link.sent[0].at, Ms{1000});
    EXPECT_EQ(link.sent[1].at, Ms{13000});
    for (const auto& s : link.sent) {
        EXPECT_EQ(s.bytes, wrq);
        EXPECT_EQ(s.to, (UdpAddress{kDevice, 69}));
        EXPECT_TRUE(s.socketOpen);
    }
    EXPECT_EQ(link.arpFlushes, 2);
    // The bar climbs once a second while the label stays at 0%.
    std::vector<std::pair<Ms, int>> bars{{Ms{0}, 0}};
    for (int i = 1; i <= 10; ++i) {
        bars.emplace_back(Ms{1000 + 1000 * i}, 10 * i);
    }
    bars.emplace_back(Ms{12000}, 0);
    EXPECT_EQ(link.bars, bars);
    EXPECT_EQ(link.labels, Strings{"0%"});
}

struct SizeCase {
    std::size_t size, blocks, lastLength;
};
class Sizes : public Upload, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(Sizes, DeviceGetsTheImageByteForByte) {
    const auto [size, blocks, lastLength] = GetParam();
    Device device(link);
    start(size);
    runTo(kLongAfter);
    EXPECT_EQ(upload.outcome(), Outcome::Completed);
    EXPECT_TRUE(device.image == labImage(size, 1));
    EXPECT_EQ(device.blockLengths.size(), blocks);
    EXPECT_EQ(device.blockLengths.back(), lastLength);
    EXPECT_EQ(link.sent.size(), 2 + blocks); // nothing twice on a clean link
    EXPECT_EQ(link.messages, Strings{"Data transmit finish"});
    EXPECT_EQ(link.labels.back(), "100");
    EXPECT_EQ(upload.counters().bytesAcknowledged, size);
    // Whatever still arrives finds the transfer over.
    arrive(ack(static_cast<std::uint16_t>(blocks)), device.port);
    arrive(ack(0), device.port);
    EXPECT_EQ(link.sent.size(), 2 + blocks);
}

INSTANTIATE_TEST_SUITE_P(ImageSizes, Sizes,
                         ::testing::Values(SizeCase{1000000, 1954, 64},
                                           SizeCase{kTftpMaxImageBytes, 32767, 511}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param.size); });

struct PercentCase {
    std::size_t size;
    std::int16_t carried;                                    // left by an earlier transfer of the run
    std::vector<std::pair<std::size_t, std::string>> labels; // as DATA k went out (0: at the end)
};
class Percents : public Upload, public ::testing::WithParamInterface<PercentCase> {};

TEST_P(Percents, FromTheBlocksFirstByteHalvesToEven) {
    carry.percent = GetParam().carried;
    Device device(link);
    start(GetParam().size);
    runTo(kLongAfter);
    ASSERT_TRUE(device.complete);
    for (const auto& [block, text] : GetParam().labels) {
        const auto data = std::ranges::find_if(
            link.sent, [block](const Sent& s) { return isData(s, static_cast<std::uint16_t>(block)); });
        ASSERT_TRUE(block == 0 || data != link.sent.end());
        EXPECT_EQ(block == 0 ? link.labels.back() : data->label, text) << "block " << block;
    }
    for (const auto& bar : link.bars) {
        EXPECT_LE(bar.second, 100); // 102% is shown but never applied to the bar
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, Percents,
    ::testing::Values(
        // Hundredth 10000: block 20 starts at byte 9729 (0.97), block 977 at 499,713 (49.97).
        PercentCase{1000000, 0, {{1, "0%"}, {20, "1%"}, {977, "50%"}, {1954, "100%"}, {0, "100"}}},
        // Under 50 bytes there is no hundredth: the label keeps the run's last percent.
        PercentCase{49, 37, {{1, "37%"}, {0, "100"}}},
        PercentCase{150, 9, {{1, "0%"}}},                // hundredth 1.5 -> 2, byte 1 is 0.5 -> 0
        PercentCase{1024, 0, {{2, "51%"}, {3, "102%"}}}, // hundredth 10.24 -> 10; 1025/10 = 102.5 -> 102
        PercentCase{512, 0, {{2, "103%"}}}),             // hundredth 5; 513/5 = 102.6
    [](const auto& info) { return "Bytes" + std::to_string(info.param.size); });

struct ReceiveCase {
    const char* name;
    Bytes packet;
    Bytes answer;        // sent back; empty = nothing
    std::string message; // empty = no message box
    bool closes;
};
class Receive : public Upload, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(Receive, ByTheOpcodesLowByteWhileSendingABlock) {
    const auto& c = GetParam();
    start(2000);
    runTo(kSecondRequestAt);
    arrive(ack(0));
    ASSERT_TRUE(isData(last(), 1));
    const auto before = link.sent.size();
    arrive(c.packet);
    EXPECT_EQ(link.sent.size(), before + !c.answer.empty());
    if (!c.answer.empty()) {
        EXPECT_EQ(last().bytes, c.answer);
    }
    EXPECT_EQ(link.messages, c.message.empty() ? Strings{} : Strings{c.message});
    EXPECT_EQ(link.closedAt.has_value(), c.closes);
    EXPECT_EQ(upload.deadline().has_value(), !c.closes);
}

const Bytes kAccessViolation = withText({0, 5, 0, 2}, "Access violation.");
const Bytes kIllegal = withText({0, 5, 0, 4}, "Illegal TFTP operation.");

INSTANTIATE_TEST_SUITE_P(
    Table, Receive,
    ::testing::Values(
        ReceiveCase{"Rrq", withText({0, 1}, "x"), kAccessViolation, "", true},
        ReceiveCase{"ErrorCode1", withText({0, 5, 0, 1}, "?"), {}, "File not found.", true},
        // Code 0 is "see the message": the device's own words, not our text for code 0.
        ReceiveCase{"ErrorCode0SaysTheDevicesText",
                    withText({0, 5, 0, 0}, "Flash write failed"),
                    {},
                    "Flash write failed",
                    true},
        ReceiveCase{"ErrorCode0WithoutText", {0, 5, 0, 0}, {}, "Block number is out of sequence.", true},
        ReceiveCase{"ErrorCodeLowByteOnly", {0, 5, 1, 7}, {}, "No such user.", true},
        ReceiveCase{"ErrorCode9", {0, 5, 0, 9}, {}, "", true},
        ReceiveCase{"OtherOpcode", {0, 6, 0, 0}, kIllegal, "", true},
        ReceiveCase{"OpcodeLowByteOnly", {5, 0}, kIllegal, "", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The device's first answer fixes the transfer's peer, its port the transfer ID (RFC 1350): a
// datagram from another host, or from another port of the device, gets ERROR 5 (unless it is an
// ERROR, or no TFTP at all) and leaves the transfer and its timer as they were.
struct StrayCase {
    const char* name;
    UdpAddress from;
    Bytes packet;
    bool answered;
};
class Strays : public Upload, public ::testing::WithParamInterface<StrayCase> {};

const Ipv4 kOtherHost{{10, 77, 1, 99}};
const Bytes kUnknownTransferId = withText({0, 5, 0, 5}, "Unknown transfer ID.");

TEST_P(Strays, OnlyTheDevicesAnsweringPortSteersTheTransfer) {
    const auto& c = GetParam();
    start(3000);
    runTo(kSecondRequestAt);
    arrive(ack(0), 40001, kOtherHost); // before the device has answered: not ours either
    EXPECT_EQ(last().bytes, kUnknownTransferId);
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Requesting);
    arrive(ack(0), 5555);
    ASSERT_TRUE(isData(last(), 1));
    EXPECT_EQ(last().to, (UdpAddress{kDevice, 5555}));

    const auto before = link.sent.size();
    const auto due = upload.deadline();
    arrive(c.packet, c.from.port, c.from.ip);
    ASSERT_EQ(link.sent.size(), before + c.answered);
    if (c.answered) {
        EXPECT_EQ(last().bytes, kUnknownTransferId);
        EXPECT_EQ(last().to, c.from);
    }
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Sending);
    EXPECT_EQ(upload.deadline(), due);
    runTo(link.now + Ms{1000}); // the timeout resends block 1 to the device's port
    EXPECT_TRUE(isData(last(), 1));
    EXPECT_EQ(last().to, (UdpAddress{kDevice, 5555}));
    EXPECT_FALSE(link.closedAt);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Strays,
    ::testing::Values(StrayCase{"OtherHostsAck", {kOtherHost, 5555}, ack(1), true},
                      StrayCase{"OtherHostsWrq", {kOtherHost, 5555}, withText({0, 2}, "x"), true},
                      StrayCase{"DevicesOtherPortAck", {kDevice, 6666}, ack(1), true},
                      StrayCase{"DevicesOtherPortData", {kDevice, 6666}, {0, 3, 0, 0}, true},
                      StrayCase{"DevicesOtherPortError", {kDevice, 6666}, {0, 5, 0, 1}, false},
                      StrayCase{"OtherHostsJunk", {kOtherHost, 5555}, {7}, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct AckCase {
    const char* name;
    std::vector<std::uint16_t> acks;
    int lastDataBlock; // -1: the last packet is ERROR 0 and the transfer stalls
};
class Acks : public Upload, public ::testing::WithParamInterface<AckCase> {};

TEST_P(Acks, FirstMatchingRowDecides) {
    start(3000);
    runTo(kSecondRequestAt);
    for (auto a : GetParam().acks) {
        arrive(ack(a));
    }
    if (GetParam().lastDataBlock < 0) {
        EXPECT_EQ(last().bytes, withText({0, 5, 0, 0}, "Block number is out of sequence."));
        EXPECT_EQ(upload.phase(), TftpUpload::Phase::Stalled);
        const auto before = link.sent.size();
        runTo(link.now + Ms{120000});
        EXPECT_EQ(link.sent.size(), before); // no timer; the dialog stays open
        EXPECT_FALSE(link.closedAt);
    } else {
        EXPECT_TRUE(isData(last(), static_cast<std::uint16_t>(GetParam().lastDataBlock)));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Acks,
                         ::testing::Values(AckCase{"SecondAckZeroResendsBlock1", {0, 0}, 1},
                                           AckCase{"PreviousBlockResendsCurrent", {0, 1, 2, 2}, 3},
                                           AckCase{"LaterAckZeroAdvances", {0, 1, 2, 0}, 4},
                                           AckCase{"BlockNotYetSentStalls", {0, 2}, -1},
                                           AckCase{"StalledTakesAFittingAckLater", {0, 2, 1}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upload, NoAnswerTimesOutNineteenSecondsAfterTheSecondRequest) {
    start(2000);
    runTo(kLongAfter);
    ASSERT_TRUE(link.closedAt);
    EXPECT_EQ(*link.closedAt, kSecondRequestAt + Ms{19000});
    EXPECT_EQ(link.messages, Strings{"Time Out"});
    std::vector<Ms> resends;
    for (std::size_t i = 2; i < link.sent.size(); ++i) {
        resends.push_back(link.sent[i].at - kSecondRequestAt);
        EXPECT_EQ(link.sent[i].bytes, link.sent[1].bytes);
    }
    EXPECT_EQ(resends,
              (std::vector<Ms>{Ms{1000}, Ms{4000}, Ms{7000}, Ms{10000}, Ms{13000}, Ms{16000}, Ms{19000}}));
    std::vector<int> bumps;
    for (const auto& [at, value] : link.bars) {
        if (at > kSecondRequestAt) {
            bumps.push_back(value);
        }
    }
    EXPECT_EQ(bumps, (std::vector<int>{5, 10, 15, 20, 25, 30, 35}));
}

// Faults index the datagrams reaching the device (1 and 2 are the write requests) and its answers (1
// and 2 are the ACK 0s). Timeouts count over the whole transfer: each lost DATA costs one, and its
// resend is the next arrival.
struct FaultCase {
    const char* name;
    std::set<int> loseIn = {}, loseOut = {}, duplicateOut = {};
    Outcome outcome = Outcome::Completed;
    std::optional<std::pair<int, int>> resentAndTimeouts = {}; // what the CLI's progress shows
};
class Faults : public Upload, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, SuccessIsOnlyClaimedForTheWholeImage) {
    const auto& c = GetParam();
    Device device(link);
    device.loseIncoming = c.loseIn, device.loseOutgoing = c.loseOut,
    device.duplicateOutgoing = c.duplicateOut;
    start(40 * 512 + 17);
    runTo(kLongAfter);
    EXPECT_EQ(upload.outcome(), c.outcome);
    EXPECT_EQ(device.image == labImage(40 * 512 + 17, 1), upload.outcome() == Outcome::Completed);
    // The count the CLI's progress shows: only blocks the device has acknowledged.
    EXPECT_LE(upload.counters().bytesAcknowledged, device.image.size());
    if (c.resentAndTimeouts) {
        EXPECT_EQ(std::pair(upload.counters().retransmissions, upload.counters().timeouts),
                  *c.resentAndTimeouts);
    }
}

constexpr auto kAnswers1To39 = std::views::iota(1, 40);
INSTANTIATE_TEST_SUITE_P(
    Device, Faults,
    ::testing::Values(FaultCase{.name = "LoseBothWays", .loseIn = {2, 5, 9}, .loseOut = {2, 4, 12}},
                      FaultCase{.name = "DuplicateEveryAck",
                                .duplicateOut = {kAnswers1To39.begin(), kAnswers1To39.end()},
                                .resentAndTimeouts = std::pair(41, 0)}, // one resend per block, no snowball
                      // ACK 2 (answer 4) twice: the first sends block 3, the second resends it at once. The
                      // device misses both copies (arrivals 5 and 6); only the timer can bring it on.
                      FaultCase{.name = "LostResendAfterARepeatedAck",
                                .loseIn = {5, 6},
                                .duplicateOut = {4},
                                .resentAndTimeouts = std::pair(2, 1)},
                      FaultCase{.name = "SixTimeoutsInOneTransfer",
                                .loseIn = {3, 8, 14, 20, 26, 32},
                                .resentAndTimeouts = std::pair(6, 6)},
                      FaultCase{.name = "SevenTimeoutsInOneTransfer",
                                .loseIn = {3, 8, 14, 20, 26, 32, 38},
                                .outcome = Outcome::TimedOut,
                                .resentAndTimeouts = std::pair(7, 7)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fw::test
