#include "unit/upgrade/FakeTftpDevice.h"
#include "upgrade/core/TftpPackets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace fw::test {
namespace {

constexpr Ipv4 kDevice = FakeTftpDevice::kIp;
constexpr Ipv4 kThirdHost{{10, 77, 1, 99}};
constexpr Ms kSecondRequestAt{13000};
constexpr Ms kLongAfter{10 * 60 * 1000};

Bytes imageOf(std::size_t size) {
    Bytes b(size);
    std::uint32_t x = 0x12345678u ^ static_cast<std::uint32_t>(size);
    for (auto& byte : b) {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(x >> 24);
    }
    return b;
}

Bytes textPacket(std::initializer_list<std::uint8_t> head, std::string_view text) {
    Bytes b(head);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

bool isData(const Sent& s, std::uint16_t block) {
    return s.bytes.size() >= 4 && s.bytes[1] == 3 && ((s.bytes[2] << 8) | s.bytes[3]) == block;
}

class Upload : public ::testing::Test {
protected:
    VirtualLink link;
    UploadCarryOver carry;
    TftpUpload upload{link, carry};

    void start(std::size_t size) { upload.start(kDevice, imageOf(size)); }
    void runTo(Ms t) { link.run(upload, t); }
    // Delivers one datagram now and handles it (and anything due at the same instant).
    void arrive(Bytes b, std::uint16_t port = 40001, Ipv4 from = kDevice) {
        link.deliver(link.now, UdpAddress{from, port}, std::move(b));
        link.run(upload, link.now);
    }
    std::size_t sentCount() const { return link.sent.size(); }
    const Sent& lastSent() const { return link.sent.back(); }
    bool closed() const { return link.closedAt.has_value(); }
    std::vector<std::string> messageTexts() const {
        std::vector<std::string> out;
        for (const auto& m : link.messages) {
            out.push_back(m.text);
        }
        return out;
    }
};

// --- the start sequence --------------------------------------------------------------------

TEST_F(Upload, StartSequenceSendsTwoRequestsWithTheSocketClosedBetween) {
    start(100);
    // An acknowledgement before any request, and the device's answer to the first request (the
    // socket is closed then), change nothing.
    link.deliver(Ms{500}, {kDevice, 40001}, FakeTftpDevice::ack(0));
    link.deliver(Ms{1001}, {kDevice, 40001}, FakeTftpDevice::ack(0));
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
    EXPECT_EQ(link.socketOpens, 2);
    EXPECT_EQ(link.arpFlushes, 2);
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Requesting);

    // The bar climbs once a second while the label stays at 0%.
    std::vector<std::pair<Ms, int>> expected{{Ms{0}, 0}};
    for (int i = 0; i <= 10; ++i) {
        expected.emplace_back(Ms{1000 + 1000 * i}, 10 * i);
    }
    expected.emplace_back(Ms{12000}, 0);
    EXPECT_EQ(link.bars, expected);
    EXPECT_EQ(link.labels, std::vector<std::string>{"0%"});
}

TEST_F(Upload, SocketIsClosedFromTheFirstRequestUntilTheSecond) {
    start(100);
    runTo(Ms{1000});
    EXPECT_FALSE(link.socketOpen);
    runTo(Ms{12999});
    EXPECT_FALSE(link.socketOpen);
    runTo(Ms{13000});
    EXPECT_TRUE(link.socketOpen);
}

TEST_F(Upload, CancelDuringTheStartSequenceSendsNothingMore) {
    start(100);
    runTo(Ms{5000});
    upload.cancel();
    const auto before = sentCount();
    runTo(kLongAfter);
    EXPECT_EQ(sentCount(), before);
    EXPECT_FALSE(link.timerDue);
    EXPECT_FALSE(link.socketOpen);
    EXPECT_FALSE(closed());
    EXPECT_EQ(upload.outcome(), TftpUpload::Outcome::Cancelled);
}

// --- block counts and last lengths ----------------------------------------------------------

struct SizeCase {
    std::size_t size;
    std::size_t blocks;
    std::size_t lastLength;
};

class Sizes : public Upload, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(Sizes, DeviceGetsTheImageByteForByte) {
    const auto [size, blocks, lastLength] = GetParam();
    FakeTftpDevice device(link);
    const Bytes image = imageOf(size);
    upload.start(kDevice, image);
    runTo(kLongAfter);

    EXPECT_EQ(upload.outcome(), TftpUpload::Outcome::Completed);
    EXPECT_TRUE(device.complete);
    EXPECT_TRUE(device.image == image);
    EXPECT_EQ(device.blockLengths.size(), blocks);
    EXPECT_EQ(device.blockLengths.back(), lastLength);
    EXPECT_EQ(device.dataPackets, static_cast<int>(blocks)); // nothing sent twice on a clean link
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Data transmit finish"});
    EXPECT_EQ(link.messages.front().title, "Fernwick");
    EXPECT_EQ(link.messages.front().icon, MessageIcon::None);
    EXPECT_EQ(link.labels.back(), "100");
    EXPECT_EQ(link.bars.back().second, 100);
    EXPECT_FALSE(link.timerDue);
    const auto sentBefore = sentCount();
    arrive(FakeTftpDevice::ack(static_cast<std::uint16_t>(blocks)), device.port());
    arrive(FakeTftpDevice::ack(0), device.port());
    EXPECT_EQ(sentCount(), sentBefore);
}

INSTANTIATE_TEST_SUITE_P(ImageSizes, Sizes,
                         ::testing::Values(SizeCase{0, 1, 0}, SizeCase{1, 1, 1}, SizeCase{511, 1, 511},
                                           SizeCase{512, 2, 0}, SizeCase{513, 2, 1}, SizeCase{1024, 3, 0},
                                           SizeCase{1000000, 1954, 64},
                                           SizeCase{kTftpMaxImageBytes, 32767, 511}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param.size); });

// --- percent ------------------------------------------------------------------------------

TEST_F(Upload, PercentOfAMillionBytes) {
    FakeTftpDevice device(link);
    start(1000000);
    runTo(kLongAfter);
    ASSERT_EQ(link.labels.size(), 1u + 1954u + 1u); // start, one per block, completion
    EXPECT_EQ(link.labels[1], "0%");                // block 1: byte 1 of 1,000,000
    EXPECT_EQ(link.labels[20], "1%");               // block 20 starts at byte 9729: 0.97
    EXPECT_EQ(link.labels[977], "50%");             // byte 499,713: 49.97
    EXPECT_EQ(link.labels[1954], "100%");
    EXPECT_EQ(link.labels.back(), "100");
    EXPECT_EQ(carry.percent, 100);
}

struct PercentCase {
    std::size_t size;
    std::int16_t carried;                 // percent left by an earlier transfer
    std::vector<std::string> blockLabels; // one per DATA packet, then the completion text
};

class Percents : public Upload, public ::testing::WithParamInterface<PercentCase> {};

TEST_P(Percents, LabelPerBlock) {
    const auto& c = GetParam();
    carry.percent = c.carried;
    FakeTftpDevice device(link);
    start(c.size);
    runTo(kLongAfter);
    ASSERT_TRUE(device.complete);
    const std::vector<std::string> blockLabels(link.labels.begin() + 1, link.labels.end());
    EXPECT_EQ(blockLabels, c.blockLabels);
}

INSTANTIATE_TEST_SUITE_P(SmallImages, Percents,
                         ::testing::Values(
                             // Under 50 bytes there is no hundredth: the label keeps what the run had.
                             PercentCase{0, 0, {"0%", "100"}}, PercentCase{49, 37, {"37%", "100"}},
                             // 51..149 bytes: a hundredth of 1, so byte 1 is 1%.
                             PercentCase{100, 0, {"1%", "100"}},
                             // 150 bytes: 1.5 rounds to 2, byte 1 is 0.5 which rounds to 0.
                             PercentCase{150, 9, {"0%", "100"}},
                             // 1024: hundredth 10; block 2 at byte 513 is 51%, block 3 at byte 1025 is 102%.
                             PercentCase{1024, 0, {"0%", "51%", "102%", "100"}},
                             // 512: hundredth 5 (5.12); the empty block 2 at byte 513 is 102.6 -> 103%.
                             PercentCase{512, 0, {"0%", "103%", "100"}}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param.size); });

TEST_F(Upload, BarIgnoresPercentsOver100) {
    FakeTftpDevice device(link);
    start(1024);
    runTo(kLongAfter);
    for (const auto& [at, value] : link.bars) {
        EXPECT_LE(value, 100);
    }
    // 0% for block 1, 51% for block 2, 102% not applied, then 100 at completion.
    EXPECT_EQ(link.bars[link.bars.size() - 2].second, 51);
}

TEST(DivideHalfEven, RoundsHalvesToEven) {
    struct Row {
        std::int64_t n, d, q;
    };
    for (const Row r : {Row{250, 100, 2}, Row{350, 100, 4}, Row{150, 100, 2}, Row{149, 100, 1},
                        Row{49, 100, 0}, Row{50, 100, 0}, Row{51, 100, 1}, Row{1000000, 100, 10000},
                        Row{1, 2, 0}, Row{3, 2, 2}, Row{999937, 10000, 100}}) {
        EXPECT_EQ(divideHalfEven(r.n, r.d), r.q) << r.n << "/" << r.d;
    }
}

// --- the receive table (byte 1 decides) -----------------------------------------------------

struct ReceiveCase {
    const char* name;
    Bytes packet;
    Bytes answer;        // what goes back to the device; empty = nothing
    const char* message; // nullptr = no message box
    bool closes;
};

class Receive : public Upload, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(Receive, WhileSendingABlock) {
    const auto& c = GetParam();
    start(2000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0), 40001); // block 1 goes out
    ASSERT_TRUE(isData(lastSent(), 1));
    const auto before = sentCount();
    arrive(c.packet, 40001);

    if (c.answer.empty()) {
        EXPECT_EQ(sentCount(), before);
    } else {
        ASSERT_EQ(sentCount(), before + 1);
        EXPECT_EQ(lastSent().bytes, c.answer);
        EXPECT_EQ(lastSent().to, (UdpAddress{kDevice, 40001}));
    }
    if (c.message != nullptr) {
        EXPECT_EQ(messageTexts(), std::vector<std::string>{c.message});
    } else {
        EXPECT_TRUE(link.messages.empty());
    }
    EXPECT_EQ(closed(), c.closes);
    EXPECT_EQ(link.timerDue.has_value(), !c.closes); // a DATA from the device leaves the timer running
    if (c.closes) {
        // Whatever still arrives finds the transfer over.
        const auto after = sentCount();
        arrive(FakeTftpDevice::ack(1));
        arrive(FakeTftpDevice::ack(0));
        runTo(kLongAfter);
        EXPECT_EQ(sentCount(), after);
    }
}

const auto kAccessViolation = textPacket({0, 5, 0, 2}, "Access violation.");
const auto kIllegalOperation = textPacket({0, 5, 0, 4}, "Illegal TFTP operation.");

INSTANTIATE_TEST_SUITE_P(
    ByteOne, Receive,
    ::testing::Values(ReceiveCase{"Data", {0, 3, 0, 1, 9, 9}, {}, nullptr, false},
                      ReceiveCase{"Rrq", textPacket({0, 1}, "x"), kAccessViolation, nullptr, true},
                      ReceiveCase{"Wrq", textPacket({0, 2}, "x"), kAccessViolation, nullptr, true},
                      ReceiveCase{
                          "ErrorCode1", textPacket({0, 5, 0, 1}, "nope"), {}, "File not found.", true},
                      ReceiveCase{"ErrorHighByteIgnored", {0, 5, 1, 7}, {}, "No such user.", true},
                      ReceiveCase{"ErrorCode9", {0, 5, 0, 9}, {}, nullptr, true},
                      ReceiveCase{"OpcodeSix", {0, 6, 0, 0}, kIllegalOperation, nullptr, true},
                      ReceiveCase{"OpcodeZero", {0, 0}, kIllegalOperation, nullptr, true},
                      ReceiveCase{"OneByte", {0x04}, {}, nullptr, false},
                      ReceiveCase{"ShortAck", {0, 4, 0}, {}, nullptr, false},
                      ReceiveCase{"ShortError", {0, 5, 0}, {}, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upload, EveryDeviceErrorCodeHasItsText) {
    const char* texts[] = {"Block number is out of sequence.",
                           "File not found.",
                           "Access violation.",
                           "Disk full or allocation exceeded.",
                           "Illegal TFTP operation.",
                           "Unknown transfer ID.",
                           "File already exists.",
                           "No such user."};
    for (std::uint8_t code = 0; code < 8; ++code) {
        VirtualLink l;
        UploadCarryOver c;
        TftpUpload u(l, c);
        u.start(kDevice, imageOf(10));
        l.run(u, kSecondRequestAt);
        l.deliver(l.now, {kDevice, 40001}, {0, 5, 0, code});
        l.run(u, l.now);
        ASSERT_EQ(l.messages.size(), 1u);
        EXPECT_EQ(l.messages[0].text, texts[code]);
        EXPECT_TRUE(l.closedAt);
    }
}

TEST_F(Upload, HighByteOfAckOpcodeIsNotExamined) {
    start(100);
    runTo(kSecondRequestAt);
    arrive({0x01, 0x04, 0x00, 0x00});
    EXPECT_TRUE(isData(lastSent(), 1));
}

TEST_F(Upload, OnlyTheDeviceSteersTheTransfer) {
    start(2000);
    runTo(kSecondRequestAt);
    const auto before = sentCount();
    for (const Bytes& p : {FakeTftpDevice::ack(0), textPacket({0, 1}, "x"), Bytes{0, 5, 0, 1}, Bytes{0, 9}}) {
        arrive(p, 40001, kThirdHost);
    }
    EXPECT_EQ(sentCount(), before);
    EXPECT_FALSE(closed());
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Requesting);
    // The device's own acknowledgement still starts the transfer, to the port it came from.
    arrive(FakeTftpDevice::ack(0), 40007);
    EXPECT_TRUE(isData(lastSent(), 1));
    EXPECT_EQ(lastSent().to, (UdpAddress{kDevice, 40007}));
}

// --- the acknowledgement table -----------------------------------------------------------

TEST_F(Upload, SecondAckZeroResendsBlockOne) {
    start(2000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0));
    arrive(FakeTftpDevice::ack(0));
    ASSERT_GE(sentCount(), 4u);
    EXPECT_TRUE(isData(link.sent[2], 1));
    EXPECT_TRUE(isData(link.sent[3], 1));
    EXPECT_EQ(link.sent[2].bytes, link.sent[3].bytes);
}

TEST_F(Upload, AckOfPreviousBlockResendsTheCurrentOneWithoutError) {
    start(3000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0));
    arrive(FakeTftpDevice::ack(1));
    arrive(FakeTftpDevice::ack(2));
    ASSERT_TRUE(isData(lastSent(), 3));
    const Bytes block3 = lastSent().bytes;
    arrive(FakeTftpDevice::ack(2));
    EXPECT_EQ(lastSent().bytes, block3);
    EXPECT_FALSE(closed());
}

TEST_F(Upload, LaterAckZeroAdvances) {
    start(3000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0));
    arrive(FakeTftpDevice::ack(1));
    arrive(FakeTftpDevice::ack(2));
    arrive(FakeTftpDevice::ack(0));
    EXPECT_TRUE(isData(lastSent(), 4));
}

TEST_F(Upload, AckOfABlockNotYetSentStallsWithErrorZero) {
    start(3000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0));
    arrive(FakeTftpDevice::ack(2)); // block 1 is outstanding
    EXPECT_EQ(lastSent().bytes, textPacket({0, 5, 0, 0}, "Block number is out of sequence."));
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Stalled);
    EXPECT_FALSE(link.timerDue);
    const auto before = sentCount();
    runTo(link.now + Ms{120000});
    EXPECT_EQ(sentCount(), before);
    EXPECT_FALSE(closed());
    EXPECT_TRUE(link.messages.empty());
    // A fitting acknowledgement later is handled as before.
    arrive(FakeTftpDevice::ack(1));
    EXPECT_TRUE(isData(lastSent(), 2));
}

TEST_F(Upload, EveryLaterPacketGoesWhereTheDeviceLastSentFrom) {
    start(3000);
    runTo(kSecondRequestAt);
    arrive(FakeTftpDevice::ack(0), 5555);
    EXPECT_EQ(lastSent().to, (UdpAddress{kDevice, 5555}));
    arrive({0, 3, 0, 0}, 6666); // a DATA from the device: ignored, but its port is taken
    runTo(link.now + Ms{1000}); // timeout resend
    EXPECT_TRUE(isData(lastSent(), 1));
    EXPECT_EQ(lastSent().to, (UdpAddress{kDevice, 6666}));
}

// --- timers ------------------------------------------------------------------------------

TEST_F(Upload, NoAnswerTimesOutNineteenSecondsAfterTheSecondRequest) {
    start(2000);
    runTo(kLongAfter);
    ASSERT_TRUE(closed());
    EXPECT_EQ(*link.closedAt, kSecondRequestAt + Ms{19000});
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Time Out"});

    std::vector<Ms> resends;
    for (std::size_t i = 2; i < link.sent.size(); ++i) {
        resends.push_back(link.sent[i].at - kSecondRequestAt);
        EXPECT_EQ(link.sent[i].bytes, link.sent[1].bytes); // the write request again
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

// Timeouts count over the whole transfer: a loss here and there adds up.
struct LossCase {
    // Packets the device never sees, by arrival: 1 and 2 are the write requests, then DATA
    // packets; each loss costs one timeout and its resend is the next arrival.
    std::set<int> lostArrivals;
    TftpUpload::Outcome outcome;
};

class CumulativeTimeouts : public Upload, public ::testing::WithParamInterface<LossCase> {};

TEST_P(CumulativeTimeouts, AcrossTheTransfer) {
    FakeTftpDevice device(link);
    device.loseIncoming = GetParam().lostArrivals;
    start(40 * 512);
    runTo(kLongAfter);
    EXPECT_EQ(upload.outcome(), GetParam().outcome);
    EXPECT_EQ(device.complete, GetParam().outcome == TftpUpload::Outcome::Completed);
}

INSTANTIATE_TEST_SUITE_P(Losses, CumulativeTimeouts,
                         ::testing::Values(LossCase{{3, 8, 14, 20, 26, 32}, TftpUpload::Outcome::Completed},
                                           LossCase{{3, 8, 14, 20, 26, 32, 38},
                                                    TftpUpload::Outcome::TimedOut}));

TEST_F(Upload, IntervalStaysLongAfterTheFirstTimeout) {
    FakeTftpDevice device(link);
    device.loseIncoming = {3, 6}; // DATA 1, then (after its resend and DATA 2) DATA 3
    start(10 * 512);
    runTo(kLongAfter);
    ASSERT_TRUE(device.complete);
    std::vector<Ms> gaps;
    for (std::size_t i = 3; i < link.sent.size(); ++i) {
        if (link.sent[i].bytes == link.sent[i - 1].bytes) {
            gaps.push_back(link.sent[i].at - link.sent[i - 1].at);
        }
    }
    EXPECT_EQ(gaps, (std::vector<Ms>{Ms{1000}, Ms{3000}}));
}

TEST_F(Upload, LostResendAfterARepeatedAckIsSentAgainByTheTimer) {
    FakeTftpDevice device(link);
    // ACK 2 arrives twice: the first sends block 3, the second resends it at once. The device
    // misses both copies (arrivals: WRQ, WRQ, D1, D2, D3, D3); only the timer can bring it on.
    device.duplicateOutgoing = {4}; // answers: ACK 0 (to the first WRQ, never read), ACK 0, ACK 1, ACK 2
    device.loseIncoming = {5, 6};
    start(6 * 512);
    runTo(kLongAfter);
    EXPECT_TRUE(device.complete);
    EXPECT_EQ(upload.outcome(), TftpUpload::Outcome::Completed);
}

TEST_F(Upload, CancelWhileSendingStopsEverything) {
    FakeTftpDevice device(link);
    device.silentAfterBlock = 2;
    start(10 * 512);
    runTo(kSecondRequestAt + Ms{500});
    upload.cancel();
    const auto before = sentCount();
    runTo(kLongAfter);
    EXPECT_EQ(sentCount(), before);
    EXPECT_FALSE(link.socketOpen);
    EXPECT_FALSE(closed());
}

// --- the fake device's faults, end to end --------------------------------------------------

struct FaultCase {
    const char* name;
    std::function<void(FakeTftpDevice&)> setup;
    TftpUpload::Outcome outcome;
    const char* message; // nullptr: none
};

class Faults : public Upload, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, EndAsTheDeviceMakesThem) {
    const auto& c = GetParam();
    FakeTftpDevice device(link);
    c.setup(device);
    const Bytes image = imageOf(20 * 512 + 17);
    upload.start(kDevice, image);
    runTo(kLongAfter);
    EXPECT_EQ(upload.outcome(), c.outcome);
    if (c.message != nullptr) {
        EXPECT_EQ(messageTexts(), std::vector<std::string>{c.message});
    } else {
        EXPECT_TRUE(link.messages.empty());
    }
    // Whatever happens, success is only ever claimed for the whole image.
    if (upload.outcome() == TftpUpload::Outcome::Completed) {
        EXPECT_TRUE(device.image == image);
    }
}

Bytes replaceAnswer(int which, const Bytes& with, int n, const Bytes& b) {
    return n == which ? with : b;
}

INSTANTIATE_TEST_SUITE_P(
    Device, Faults,
    ::testing::Values(FaultCase{"LoseBothWays",
                                [](auto& d) {
                                    d.loseIncoming = {2, 5, 9};
                                    d.loseOutgoing = {1, 4, 12};
                                },
                                TftpUpload::Outcome::Completed, "Data transmit finish"},
                      FaultCase{"DuplicateEveryAck",
                                [](auto& d) {
                                    for (int i = 1; i < 30; ++i)
                                        d.duplicateOutgoing.insert(i);
                                },
                                TftpUpload::Outcome::Completed, "Data transmit finish"},
                      FaultCase{"DuplicateAckZero", [](auto& d) { d.duplicateOutgoing = {2}; },
                                TftpUpload::Outcome::Completed, "Data transmit finish"},
                      FaultCase{"AckForABlockNotYetSent",
                                [](auto& d) {
                                    d.rewriteOutgoing = [](int n, const Bytes& b) {
                                        return replaceAnswer(3, FakeTftpDevice::ack(9), n, b);
                                    };
                                },
                                TftpUpload::Outcome::None, nullptr},
                      FaultCase{"DiskFull",
                                [](auto& d) {
                                    d.rewriteOutgoing = [](int n, const Bytes& b) {
                                        return replaceAnswer(5, textPacket({0, 5, 0, 3}, "full"), n, b);
                                    };
                                },
                                TftpUpload::Outcome::DeviceError, "Disk full or allocation exceeded."},
                      FaultCase{"WriteRequestBack",
                                [](auto& d) {
                                    d.rewriteOutgoing = [](int n, const Bytes& b) {
                                        return replaceAnswer(2, textPacket({0, 2}, "/"), n, b);
                                    };
                                },
                                TftpUpload::Outcome::PeerFault, nullptr},
                      FaultCase{"UnknownOpcode",
                                [](auto& d) {
                                    d.rewriteOutgoing = [](int n, const Bytes& b) {
                                        return replaceAnswer(2, Bytes{0, 7, 0, 0}, n, b);
                                    };
                                },
                                TftpUpload::Outcome::PeerFault, nullptr},
                      FaultCase{"SilentAfterBlock5", [](auto& d) { d.silentAfterBlock = 5; },
                                TftpUpload::Outcome::TimedOut, "Time Out"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upload, ThirdHostAckFloodChangesNothing) {
    FakeTftpDevice device(link);
    const Bytes image = imageOf(30 * 512);
    upload.start(kDevice, image);
    // Acknowledgements of every block number from elsewhere, all through the transfer.
    for (int t = 13000; t < 20000; t += 3) {
        link.deliver(Ms{t}, {kThirdHost, 40001}, FakeTftpDevice::ack(static_cast<std::uint16_t>(t % 40)));
    }
    runTo(kLongAfter);
    EXPECT_EQ(upload.outcome(), TftpUpload::Outcome::Completed);
    EXPECT_TRUE(device.image == image);
    EXPECT_EQ(device.dataPackets, 31);
    for (const auto& s : link.sent) {
        EXPECT_EQ(s.to.ip, kDevice);
    }
}

TEST_F(Upload, PercentCarriesOverToTheNextTransfer) {
    {
        FakeTftpDevice device(link);
        start(1000000);
        runTo(kLongAfter);
    }
    VirtualLink second;
    TftpUpload next(second, carry);
    FakeTftpDevice device(second);
    next.start(kDevice, imageOf(40));
    second.run(next, kLongAfter);
    EXPECT_EQ(second.labels, (std::vector<std::string>{"0%", "100%", "100"}));
}

} // namespace
} // namespace fw::test
