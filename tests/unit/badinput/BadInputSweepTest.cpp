// Bad input from every side the program takes it: image paths, typed addresses and datagrams of
// every length 0-100 on every kind of socket. Each must give its clear message or a silent drop;
// under the asan preset nothing may crash or leak either.
#include "common/StringTable.h"
#include "discovery/core/DiscoverySearch.h"
#include "ipcontrol/core/IpAddressModel.h"
#include "setip/core/FixedAddressCheck.h"
#include "setip/core/SetIpExchange.h"
#include "upgrade/ImageFileReader.h"
#include "upgrade/core/Handshake.h"
#include "upgrade/core/TftpPackets.h"
#include "upgrade/core/TftpUpload.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <variant>

namespace fw {
namespace {

std::string text(Str id) {
    return std::string(loadResString(id));
}

// --- image paths ---------------------------------------------------------------------------------

struct ImageCase {
    const char* what;
    std::function<std::string(const std::filesystem::path& dir)> make; // returns the typed path
    ImageDecision::Kind kind;
    std::string message; // empty: no message
};

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

TEST(BadInputSweep, ImagePathsGiveTheirMessageAndNothingElse) {
    namespace fs = std::filesystem;
    const ImageCase cases[] = {
        {"empty path", [](const fs::path&) { return std::string(); }, ImageDecision::Kind::Refuse,
         text(Str::KeyinPath)},
        {"missing file", [](const fs::path& d) { return (d / "nothing.bin").string(); },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"missing directory", [](const fs::path& d) { return (d / "no" / "such" / "x.bin").string(); },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"a directory", [](const fs::path& d) { return d.string(); }, ImageDecision::Kind::Refuse,
         text(Str::FileNotExist)},
        {"a device node", [](const fs::path&) { return std::string("/dev/null"); },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"a fifo (must not block)",
         [](const fs::path& d) {
             const auto p = d / "fifo";
             mkfifo(p.c_str(), 0600);
             return p.string();
         },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"a symlink loop",
         [](const fs::path& d) {
             fs::create_symlink(d / "loop-b", d / "loop-a");
             fs::create_symlink(d / "loop-a", d / "loop-b");
             return (d / "loop-a").string();
         },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"a dangling symlink",
         [](const fs::path& d) {
             fs::create_symlink(d / "gone", d / "dangling");
             return (d / "dangling").string();
         },
         ImageDecision::Kind::Refuse, text(Str::FileNotExist)},
        {"one byte too large (sparse)",
         [](const fs::path& d) {
             const auto p = d / "large.bin";
             writeFile(p, "AP Config");
             fs::resize_file(p, kTftpMaxImageBytes + 1);
             return p.string();
         },
         ImageDecision::Kind::Refuse, text(Str::ImageTooLarge)},
        {"far too large (sparse, 4 GiB)",
         [](const fs::path& d) {
             const auto p = d / "huge.bin";
             writeFile(p, "AP Config");
             fs::resize_file(p, std::uintmax_t{4} << 30);
             return p.string();
         },
         ImageDecision::Kind::Refuse, text(Str::ImageTooLarge)},
        {"largest allowed",
         [](const fs::path& d) {
             const auto p = d / "max.bin";
             writeFile(p, "ap config");
             fs::resize_file(p, kTftpMaxImageBytes);
             return p.string();
         },
         ImageDecision::Kind::Accept, ""},
        {"empty file",
         [](const fs::path& d) {
             writeFile(d / "empty.bin", "");
             return (d / "empty.bin").string();
         },
         ImageDecision::Kind::Confirm, text(Str::AdapterFirmwareQuestion)},
        {"marker split by a NUL",
         [](const fs::path& d) {
             writeFile(d / "split.bin", std::string("AP\0Config", 9));
             return (d / "split.bin").string();
         },
         ImageDecision::Kind::Confirm, text(Str::AdapterFirmwareQuestion)},
        {"a name with blanks and non-ASCII",
         [](const fs::path& d) {
             writeFile(d / " f\xc3\xbcr AP .bin", "xxAP CONFIGxx");
             return (d / " f\xc3\xbcr AP .bin").string();
         },
         ImageDecision::Kind::Accept, ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const std::string path = c.make(tmp.path().toStdString());
        const ImageFile file = path.empty() ? ImageFile{} : readImageFile(path, kTftpMaxImageBytes);
        EXPECT_LE(file.bytes.size(), kTftpMaxImageBytes + 1) << c.what << ": reads stop past the limit";
        const ImageDecision d = checkImage(path, file, true);
        EXPECT_EQ(d.kind, c.kind) << c.what;
        EXPECT_EQ(d.message.text, c.message) << c.what;
    }
}

// --- typed addresses -----------------------------------------------------------------------------

TEST(BadInputSweep, TypedAddressesAreRefusedWithTheirText) {
    struct Case {
        const char* address;
        const char* mask;
        const char* gateway;
        const char* refusedText; // nullptr: accepted
    };
    const Case cases[] = {
        {"", "255.255.255.0", "0.0.0.0", ""},
        {"0.1.2.3", "255.255.255.0", "0.0.0.0", "0.1.2.3"},
        {"10.1.2.0", "255.255.255.0", "0.0.0.0", "10.1.2.0"},
        {"10.1.2.255", "255.255.255.0", "0.0.0.0", "10.1.2.255"},
        {"255.255.255.255", "255.255.255.0", "0.0.0.0", "255.255.255.255"},
        {"256.1.2.3", "255.255.255.0", "0.0.0.0", "256.1.2.3"},
        {"10..2.3", "255.255.255.0", "0.0.0.0", "10..2.3"},
        {"10.1.2.3", "255.255.256.0", "0.0.0.0", "255.255.256.0"},
        {"10.1.2.3", "255.255.255.0", "1.2.3.999", "1.2.3.999"},
        {"010.001.002.003", "255.255.255.000", "0.0.0.0", nullptr},
        {"10.1.2.3", "255.255.255.0", "10.1.2.254", nullptr},
    };
    for (const auto& c : cases) {
        const auto result = checkFixedAddress(c.address, c.mask, c.gateway);
        if (c.refusedText == nullptr) {
            EXPECT_TRUE(std::holds_alternative<FixedAddress>(result)) << c.address << " " << c.mask;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<Message>(result))
            << c.address << " " << c.mask << " " << c.gateway;
        EXPECT_EQ(std::get<Message>(result).text, std::string(c.refusedText) + text(Str::NotValidIp));
    }
}

struct ControlEvents final : IpAddressModel::Listener {
    int messages = 0;
    void boxTextSet(int, const std::string&) override {}
    void changed(const std::string&) override {}
    void advanceTo(int) override {}
    void showMessage(const Message&) override { ++messages; }
};

TEST(BadInputSweep, TheAddressControlHoldsEveryWriteInRange) {
    const std::string manyDots(10000, '.');
    const std::pair<std::string, const char*> writes[] = {
        {"", "0.0.0.0"},
        {"999.999.999.999", "255.255.255.255"},
        {"-1.-2.-3.-4", "0.0.0.0"},
        {"1.2.3.4.5.6.7", "1.2.3.4"},
        {"abc.def", "0.0.0.0"},
        {"99999999999999999999999999.1.1.1", "255.1.1.1"},
        {"\t1 . 2 .3 .4\n", "1.2.3.4"},
        {"0x10.010.1e3.+7", "0.10.1.7"},
        {manyDots, "0.0.0.0"},
    };
    for (const auto& [typed, shown] : writes) {
        ControlEvents events;
        IpAddressModel model(events);
        model.setIpAddress(typed);
        EXPECT_EQ(model.ipAddress(), shown) << typed;
        EXPECT_EQ(events.messages, 0) << typed;
    }
    ControlEvents events;
    IpAddressModel model(events);
    for (const int index : {-1, 4, 1 << 30}) {
        model.setIpValue(index, 7);
        EXPECT_EQ(model.ipValue(index), 0);
    }
    EXPECT_EQ(events.messages, 6) << "every bad index shows the index message";
    model.boxEdited(2, "300");
    EXPECT_TRUE(model.boxLeft(2)) << "leaving a box over 255 asks for the range message";
    EXPECT_EQ(model.ipAddress(), "0.0.300.0");
}

// --- datagrams of every length -------------------------------------------------------------------

// A well-shaped record of `length` bytes: the magic and fields in place as far as the length goes.
std::vector<std::uint8_t> cut(std::vector<std::uint8_t> full, std::size_t length) {
    full.resize(length, 0);
    return full;
}

struct NoRows final : DiscoverySearch::Listener {
    int rows = 0;
    void rowListed(const DeviceRow&) override { ++rows; }
};

TEST(BadInputSweep, DiscoverySocketTakesOnlyRepliesOfSixtyBytesOrMore) {
    for (std::size_t length = 0; length <= 100; ++length) {
        ProcessValues values;
        NoRows rows;
        DiscoverySearch search(values, rows);
        search.begin();
        std::vector<std::uint8_t> reply(100, 0x41);
        reply[0] = 0x87, reply[1] = 0x65, reply[2] = 0x43, reply[3] = 0x21, reply[6] = 0, reply[7] = 1;
        const auto verdict = search.onDatagram(cut(reply, length), Ipv4{{10, 0, 0, 2}}, Ipv4{{10, 0, 0, 1}});
        EXPECT_EQ(verdict,
                  length >= 60 ? DiscoverySearch::Verdict::Listed : DiscoverySearch::Verdict::Dropped)
            << length;
        EXPECT_EQ(values.selectedDeviceIp.empty(), length < 60) << length;
    }
}

struct SetIpRecorder final : SetIpExchange::Io {
    int sent = 0;
    int shown = 0;
    void send(std::span<const std::uint8_t>) override { ++sent; }
    void show(const Message&) override { ++shown; }
};

TEST(BadInputSweep, SetIpSocketTakesOnlyRepliesOfTwentyFourBytesOrMore) {
    for (std::size_t length = 0; length <= 100; ++length) {
        for (const std::uint8_t result : {0, 1, 2}) {
            SetIpExchange exchange;
            SetIpRecorder io;
            exchange.open({{"10.0.0.1", "255.0.0.0", "0.0.0.0", {2, 0, 0, 0, 0, 1}, "eth0", 2}}, "10.0.0.1",
                          0, {0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E});
            exchange.numberRequest();
            exchange.sendDhcp(io);
            std::vector<std::uint8_t> reply(exchange.record().begin(), exchange.record().end());
            reply.resize(100, 0);
            reply[21] = result;
            exchange.onDatagram(io, cut(reply, length));
            const bool answered = length >= 24 && result <= 1;
            EXPECT_EQ(io.shown, answered ? 1 : 0) << length << " result " << int(result);
            EXPECT_EQ(io.sent, 1 + (answered && result == 0 ? 1 : 0)) << length << " result " << int(result);
        }
    }
}

TEST(BadInputSweep, HandshakeAnswersShorterThanFiveBytesAreNone) {
    const auto full = buildHandshakeRecord(0xFF);
    for (std::size_t length = 0; length <= 100; ++length) {
        std::vector<std::uint8_t> d(full.begin(), full.end());
        d.resize(length, 0);
        EXPECT_EQ(readHandshakeAnswer(d).has_value(), length >= 5) << length;
    }
}

struct UploadRecorder final : TftpUpload::Io {
    int sends = 0;
    int closes = 0;
    void openTransferSocket() override {}
    void closeTransferSocket() override {}
    void send(UdpAddress, std::span<const std::uint8_t>) override { ++sends; }
    void flushArp() override {}
    void startTimer(std::chrono::milliseconds) override {}
    void stopTimer() override {}
    void setProgress(int) override {}
    void setLabel(const std::string&) override {}
    void showMessage(const Message&) override {}
    void close() override { ++closes; }
};

TEST(BadInputSweep, TransferSocketDropsRuntsAndEndsOnlyOnWholePackets) {
    // Every opcode's packet cut to every length, arriving while the second write request waits.
    for (std::uint8_t opcode = 0; opcode <= 6; ++opcode) {
        for (std::size_t length = 0; length <= 100; ++length) {
            UploadRecorder io;
            UploadCarryOver carry;
            TftpUpload upload(io, carry);
            const Ipv4 device{{10, 0, 0, 2}};
            upload.start(device, std::vector<std::uint8_t>(2000, 0x5A));
            for (int i = 0; i < 13; ++i) {
                upload.onTimer();
            }
            ASSERT_EQ(upload.phase(), TftpUpload::Phase::Requesting);
            const int sendsBefore = io.sends;
            std::vector<std::uint8_t> packet{0, opcode, 0, 0};
            packet.resize(100, 0x20);
            upload.onDatagram({device, 2000}, cut(packet, length));
            const bool whole = length >= 4 || (length >= 2 && opcode != 4 && opcode != 5);
            if (!whole || opcode == 3) { // runts and stray DATA change nothing
                EXPECT_EQ(upload.phase(), TftpUpload::Phase::Requesting) << int(opcode) << "/" << length;
                EXPECT_EQ(io.sends, sendsBefore) << int(opcode) << "/" << length;
                EXPECT_EQ(io.closes, 0);
            } else if (opcode == 4) { // ACK 0 starts the transfer
                EXPECT_EQ(upload.phase(), TftpUpload::Phase::Sending) << length;
            } else { // ERROR, a request or an unknown opcode ends it
                EXPECT_EQ(upload.phase(), TftpUpload::Phase::Ended) << int(opcode) << "/" << length;
                EXPECT_EQ(io.closes, 1);
                EXPECT_NE(upload.outcome(), TftpUpload::Outcome::Completed);
            }
        }
    }
}

TEST(BadInputSweep, DuplicatedAcksDrawOneResendPerBlock) {
    // Copies of the previous block's ACK, as a duplicating link delivers them: the first resends
    // the block in flight, the rest change nothing, so the copies cannot multiply block by block.
    struct Counting final : TftpUpload::Io {
        std::vector<std::vector<std::uint8_t>> sent;
        void openTransferSocket() override {}
        void closeTransferSocket() override {}
        void send(UdpAddress, std::span<const std::uint8_t> b) override {
            sent.emplace_back(b.begin(), b.end());
        }
        void flushArp() override {}
        void startTimer(std::chrono::milliseconds) override {}
        void stopTimer() override {}
        void setProgress(int) override {}
        void setLabel(const std::string&) override {}
        void showMessage(const Message&) override {}
        void close() override {}
    } io;
    UploadCarryOver carry;
    TftpUpload upload(io, carry);
    const Ipv4 device{{10, 0, 0, 2}};
    upload.start(device, std::vector<std::uint8_t>(3 * 512 + 1, 0x33));
    for (int i = 0; i < 13; ++i) {
        upload.onTimer();
    }
    const auto ack = [&](std::uint8_t block) {
        const std::array<std::uint8_t, 4> a{0, 4, 0, block};
        upload.onDatagram({device, 1069}, a);
    };
    const auto dataSent = [&](std::uint8_t block) {
        return std::count_if(io.sent.begin(), io.sent.end(),
                             [&](const auto& p) { return p[1] == 3 && p[3] == block; });
    };
    for (std::uint8_t block = 0; block < 3; ++block) {
        for (int copy = 0; copy < 5; ++copy) {
            ack(block);
        }
        EXPECT_EQ(dataSent(block + 1), 2) << "DATA " << block + 1 << ": the new block and one resend";
    }
    EXPECT_EQ(upload.phase(), TftpUpload::Phase::Sending);
}

} // namespace
} // namespace fw
