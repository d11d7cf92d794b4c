// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/Handshake.h"
#include "upgrade/ImageCheck.h"
#include "upgrade/TftpPackets.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;
Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

TEST(Handshake, RecordIsByteExactAndAnswersAreReadWithinTheirLength) {
    Bytes expected = bytesOf("\xAA\x55\x55\xAA\x04QmTwHxbLd");
    expected.resize(50, 0);
    expected.insert(expected.end(), {0x68, 0x36});
    const auto r = buildHandshakeRecord();
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);

    EXPECT_EQ(readHandshakeAnswer(buildHandshakeRecord(0xFF))->command, 0xFF);
    EXPECT_EQ(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAA, 0xFF})->command, 0xFF);
    EXPECT_FALSE(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAA}));
    EXPECT_FALSE(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAB, 0xFF}));
}

TEST(TftpPackets, AreByteExactAndReadersNeedTheirBytes) {
    EXPECT_EQ(buildTftpData(0x0102, Bytes{9, 8}), (Bytes{0, 3, 1, 2, 9, 8}));
    EXPECT_EQ(buildTftpData(32767, {}), (Bytes{0, 3, 0x7F, 0xFF}));
    EXPECT_FALSE(tftpOpcodeOf(Bytes{4}));
    EXPECT_FALSE(tftpAckBlockOf(Bytes{0, 4, 1}));
    EXPECT_EQ(tftpAckBlockOf(Bytes{0, 4, 0xFF, 0xFF}), -1); // compared by bit pattern
    EXPECT_FALSE(tftpErrorCodeOf(Bytes{0, 5, 0}));
}

struct CheckCase {
    const char* name;
    std::string path;
    ImageFile file;
    bool deviceIsAp;
    ImageDecision::Kind kind;
    std::string text; // empty for Accept
    MessageIcon icon;
};
class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, Decides) {
    const auto& c = GetParam();
    const ImageDecision d =
        checkImage(c.path, c.file, c.deviceIsAp ? DeviceKind::AccessPoint : DeviceKind::Bridge);
    EXPECT_EQ(d.kind, c.kind);
    EXPECT_EQ(d.message.text, c.text);
    EXPECT_EQ(d.focusPathBox, c.kind == ImageDecision::Kind::Refuse);
    if (c.kind != ImageDecision::Kind::Accept) {
        EXPECT_EQ(d.message.title, "Fernwick");
        EXPECT_EQ(d.message.icon, c.icon);
        EXPECT_EQ(d.message.buttons,
                  c.kind == ImageDecision::Kind::Confirm ? MessageButtons::OkCancel : MessageButtons::Ok);
    }
}

ImageFile read(Bytes b) {
    return {ImageFile::State::Read, std::move(b), {}};
}
ImageFile ofSize(std::size_t size) { // marker at the very end
    Bytes b(size - 9, 0xEE);
    b.insert(b.end(), {'A', 'P', ' ', 'C', 'o', 'n', 'f', 'i', 'g'});
    return read(std::move(b));
}
const std::string kAsk252 = "This is a ethernet adapter Firmware, do you really want to update?";
const std::string kAsk251 = "This is a AP Firmware, do you really want to update?";
const ImageFile kMissing{ImageFile::State::Missing, {}, {}};
using K = ImageDecision::Kind;
using I = MessageIcon;

INSTANTIATE_TEST_SUITE_P(
    Rules, Check,
    ::testing::Values(
        CheckCase{"Missing", "x", kMissing, true, K::Refuse, "This file not exist.", I::Information},
        CheckCase{"Locked",
                  "x",
                  {ImageFile::State::Unreadable, {}, "Permission denied"},
                  true,
                  K::Refuse,
                  "This file cannot be read.",
                  I::Exclamation},
        CheckCase{"ApMarkerLowerCase", "x", read(bytesOf("..ap config..")), true, K::Accept, "", I::None},
        CheckCase{"ApGivenBridgeImage", "x", read(bytesOf("Bridge Config")), true, K::Confirm, kAsk252,
                  I::Information},
        CheckCase{"AdapterWithNeither", "x", read(bytesOf("firmware")), false, K::Confirm, kAsk251,
                  I::Information},
        CheckCase{"OnlyAsciiLettersFold", "x", read(Bytes{0xC1, 'P', ' ', 'C', 'o', 'n', 'f', 'i', 'g'}),
                  true, K::Confirm, kAsk252, I::Information},
        CheckCase{"LargestImage", "x", ofSize(16776703), true, K::Accept, "", I::None},
        CheckCase{"OneByteTooLarge", "x", ofSize(16776704), true, K::Refuse,
                  "The image is too large for a TFTP transfer. The largest image is 16776703 bytes.",
                  I::Exclamation}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fw
