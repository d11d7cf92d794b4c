#include "upgrade/core/Handshake.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/TftpPackets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

TEST(Handshake, RecordIsByteExact) {
    Bytes expected{0xAA, 0x55, 0x55, 0xAA, 0x04, 'Q', 'm', 'T', 'w', 'H', 'x', 'b', 'L', 'd'};
    expected.resize(50, 0);
    expected.push_back(0x68);
    expected.push_back(0x36);
    const auto r = buildHandshakeRecord();
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);
}

TEST(Handshake, AnswerIsReadOnlyWithinItsLength) {
    EXPECT_EQ(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAA, 0xFF})->command, 0xFF);
    const auto full = buildHandshakeRecord(0xFF);
    EXPECT_EQ(readHandshakeAnswer(full)->command, 0xFF);
    EXPECT_FALSE(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAA}));
    EXPECT_FALSE(readHandshakeAnswer(Bytes{}));
    EXPECT_FALSE(readHandshakeAnswer(Bytes{0xAA, 0x55, 0x55, 0xAB, 0xFF}));
}

TEST(TftpPackets, AreByteExact) {
    EXPECT_EQ(buildTftpWriteRequest(), (Bytes{0x00, 0x02, 0x2F, 0x00, 0x6F, 0x63, 0x74, 0x65, 0x74, 0x00}));
    EXPECT_EQ(buildTftpData(0x0102, Bytes{9, 8}), (Bytes{0, 3, 1, 2, 9, 8}));
    EXPECT_EQ(buildTftpData(32767, {}), (Bytes{0, 3, 0x7F, 0xFF}));
    EXPECT_EQ(buildTftpError(0, "ab"), (Bytes{0, 5, 0, 0, 'a', 'b', 0}));
}

TEST(TftpPackets, ReadersNeedTheBytesTheyRead) {
    EXPECT_FALSE(tftpOpcodeOf(Bytes{4}));
    EXPECT_EQ(tftpOpcodeOf(Bytes{0xFF, 4}), 4);
    EXPECT_FALSE(tftpAckBlockOf(Bytes{0, 4, 1}));
    EXPECT_EQ(tftpAckBlockOf(Bytes{0, 4, 0xFF, 0xFF}), -1); // compared by bit pattern
    EXPECT_EQ(tftpAckBlockOf(Bytes{0, 4, 0x7F, 0xFF, 1}), 32767);
    EXPECT_FALSE(tftpErrorCodeOf(Bytes{0, 5, 0}));
    EXPECT_EQ(tftpErrorCodeOf(Bytes{0, 5, 1, 3}), 3);
}

TEST(TftpPackets, LimitIsTheLastImageTheCounterCarries) {
    EXPECT_EQ(kTftpMaxImageBytes, 16776703u);
    EXPECT_EQ((kTftpMaxImageBytes + 1) / kTftpBlockSize, static_cast<std::size_t>(kTftpMaxBlocks));
}

// --- image check ---------------------------------------------------------------------------

ImageFile readFile(Bytes bytes) {
    return ImageFile{ImageFile::State::Read, std::move(bytes)};
}

struct CheckCase {
    const char* name;
    std::string path;
    ImageFile file;
    bool deviceIsAp;
    ImageDecision::Kind kind;
    std::string text; // empty for Accept
    MessageIcon icon;
    bool focusPathBox;
};

class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, Decides) {
    const auto& c = GetParam();
    const ImageDecision d = checkImage(c.path, c.file, c.deviceIsAp);
    EXPECT_EQ(d.kind, c.kind);
    EXPECT_EQ(d.message.text, c.text);
    EXPECT_EQ(d.focusPathBox, c.focusPathBox);
    if (c.kind != ImageDecision::Kind::Accept) {
        EXPECT_EQ(d.message.title, "Fernwick");
        EXPECT_EQ(d.message.icon, c.icon);
        EXPECT_EQ(d.message.buttons,
                  c.kind == ImageDecision::Kind::Confirm ? MessageButtons::OkCancel : MessageButtons::Ok);
    }
}

const std::string kAsk252 = "This is a ethernet adapter Firmware, do you really want to update?";
const std::string kAsk251 = "This is a AP Firmware, do you really want to update?";
const std::string kTooLarge =
    "The image is too large for a TFTP transfer. The largest image is 16776703 bytes.";
using K = ImageDecision::Kind;
using I = MessageIcon;

Bytes withMarkerAtEnd(std::size_t size, std::string_view marker) {
    Bytes b(size - marker.size(), 0xEE);
    b.insert(b.end(), marker.begin(), marker.end());
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Check,
    ::testing::Values(
        CheckCase{"EmptyPath", "", {}, true, K::Refuse, "Please keyin Path.", I::Information, true},
        CheckCase{"Missing",
                  "/x.bin",
                  {ImageFile::State::Missing, {}},
                  true,
                  K::Refuse,
                  "This file not exist.",
                  I::Information,
                  true},
        CheckCase{"Unreadable",
                  "/x.bin",
                  {ImageFile::State::Unreadable, {}},
                  false,
                  K::Refuse,
                  "This file not exist.",
                  I::Information,
                  true},
        CheckCase{"ApMarkerLowerCase", "a", readFile(bytesOf("..ap config..")), true, K::Accept, "", I::None,
                  false},
        CheckCase{"ApGivenBridgeImage", "a", readFile(bytesOf("Bridge Config")), true, K::Confirm, kAsk252,
                  I::Information, false},
        CheckCase{"AdapterWithNeither", "a", readFile(bytesOf("firmware")), false, K::Confirm, kAsk251,
                  I::Information, false},
        CheckCase{"AdapterMarkerMixedCase", "a", readFile(bytesOf("xxBRIDGE cOnFiGxx")), false, K::Accept, "",
                  I::None, false},
        CheckCase{"EmptyImageAsks", "a", readFile({}), true, K::Confirm, kAsk252, I::Information, false},
        CheckCase{"MarkerSplitByZeroIsNoMarker", "a",
                  readFile(Bytes{'A', 'P', 0, 'C', 'o', 'n', 'f', 'i', 'g'}), true, K::Confirm, kAsk252,
                  I::Information, false},
        CheckCase{"LargestImage", "a", readFile(withMarkerAtEnd(16776703, "AP Config")), true, K::Accept, "",
                  I::None, false},
        CheckCase{"OneByteTooLarge", "a", readFile(withMarkerAtEnd(16776704, "AP Config")), true, K::Refuse,
                  kTooLarge, I::Exclamation, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Marker, FoundAnywhereIncludingTheLastBytes) {
    EXPECT_TRUE(containsMarker(bytesOf("xxxAP Config"), "AP Config"));
    EXPECT_TRUE(containsMarker(bytesOf("AP Config"), "ap config"));
    EXPECT_FALSE(containsMarker(bytesOf("AP Confi"), "AP Config"));
    EXPECT_FALSE(containsMarker(bytesOf("AP_Config"), "AP Config"));
    // Only ASCII letters fold: 0xC1 is not 'a' in any case.
    EXPECT_FALSE(containsMarker(Bytes{0xC1, 'P', ' ', 'C', 'o', 'n', 'f', 'i', 'g'}, "AP Config"));
}

} // namespace
} // namespace fw
