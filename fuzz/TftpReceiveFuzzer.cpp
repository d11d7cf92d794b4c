// SPDX-License-Identifier: GPL-3.0-or-later
// The upload's receive path under any mix of deadlines, cancel and datagrams: DATA carries the image's
// bytes, nothing leaves after the end, completion needs the whole image sent and its last block acked.
#include "FuzzInput.h"
#include "upgrade/TftpPackets.h"
#include "upgrade/TftpUpload.h"

#include <chrono>
#include <vector>

namespace {

using fw::fuzz::require;

const fw::Ipv4 kDevice{{10, 9, 0, 2}};

using Clock = std::chrono::steady_clock;

// Does what the upload answers, and checks every answer.
struct Recorder {
    const std::vector<std::uint8_t>* image = nullptr;
    const fw::TftpUpload* upload = nullptr; // its deadline as each answer leaves it
    Clock::time_point now{};
    bool over = false; // ended or cancelled: nothing may leave any more
    int highestBlock = 0;
    bool shortBlockSent = false;
    int ends = 0;

    void apply(const fw::TftpUpload::Actions& a) {
        const auto deadline = upload->deadline();
        require(!over || (!a.openSocket && !a.send && !deadline), "nothing after the end");
        if (a.send) {
            sent(a.send->to, a.send->bytes);
        }
        if (deadline) {
            require(*deadline > now && *deadline <= now + std::chrono::milliseconds(3000), "deadlines");
        }
        if (a.progress) {
            require(a.progress->bar >= 0 && a.progress->bar <= 100, "bar in 0..100");
        }
        if (a.finished) {
            ++ends;
            over = true;
            require(!deadline, "no deadline after the end");
        }
    }
    void sent(fw::UdpAddress to, std::span<const std::uint8_t> bytes) {
        require(bytes.size() >= 4, "no runt packets");
        // A stray sender (another host or port than the device's transfer ID) gets ERROR 5 only.
        const bool unknownTid = bytes[0] == 0 && bytes[1] == 5 && bytes[2] == 0 && bytes[3] == 5;
        require(to.ip == kDevice || unknownTid, "packets only go to the device, or ERROR 5 to a stray");
        if (bytes[1] != 3) {
            return;
        }
        const int block = static_cast<std::int16_t>((bytes[2] << 8) | bytes[3]);
        require(block >= 1, "DATA blocks count from 1");
        const auto payload = bytes.subspan(4);
        const std::size_t offset = static_cast<std::size_t>(block - 1) * fw::kTftpBlockSize;
        const std::size_t expected =
            offset >= image->size() ? 0 : std::min(fw::kTftpBlockSize, image->size() - offset);
        require(payload.size() == expected, "block length");
        require(std::equal(payload.begin(), payload.end(),
                           image->begin() + static_cast<std::ptrdiff_t>(std::min(offset, image->size()))),
                "block bytes are the image's");
        require(block <= highestBlock + 1, "blocks go out in order");
        highestBlock = std::max(highestBlock, block);
        shortBlockSent = shortBlockSent || payload.size() < fw::kTftpBlockSize;
    }
    // The deadline passes (or, without one, some time does).
    void tick(fw::TftpUpload& upload) {
        now = upload.deadline().value_or(now + std::chrono::milliseconds(500));
        apply(upload.onDeadline(now));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::FuzzInput in(data, size);
    std::vector<std::uint8_t> image(in.u16() % 5000);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    Recorder io;
    io.image = &image;
    fw::UploadCarryOver carry;
    fw::TftpUpload upload(carry);
    io.upload = &upload;
    io.apply(upload.start(io.now, kDevice, image));
    // 13 deadlines take the start sequence to the second request; fewer leave it part-way.
    const int ticks = in.byte() % 16;
    for (int i = 0; i < ticks; ++i) {
        io.tick(upload);
    }

    std::int16_t lastDeviceAck = -1;
    const auto deviceAckCounts = [&](bool deviceAck) {
        const auto p = upload.phase();
        using P = fw::TftpUpload::Phase;
        return deviceAck && (p == P::Requesting || p == P::Sending || p == P::Stalled);
    };
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        const bool device = (op & 0x80) == 0;
        const fw::UdpAddress from{device ? kDevice : fw::Ipv4{{10, 9, 0, 3}},
                                  static_cast<std::uint16_t>(1024 + (op & 0x0F))};
        switch ((op >> 4) & 0x07) {
        case 0:
            io.tick(upload);
            break;
        case 1:
            if (op == 0x1F) {
                const bool wasOver = io.over;
                const auto a = upload.cancel();
                require(a.closeSocket && !upload.deadline(),
                        "cancel closes the socket and drops the deadline");
                require(a.finished.has_value() != wasOver, "cancel ends what has not ended");
                io.apply(a);
            } else {
                io.tick(upload);
            }
            break;
        case 2:
        case 3:
        case 4: {
            // An ACK close to the block in flight: duplicates, stale and early ones.
            const auto block =
                static_cast<std::int16_t>(upload.currentBlock() + static_cast<std::int8_t>(in.byte()) % 3);
            const auto wire = static_cast<std::uint16_t>(block);
            const std::array<std::uint8_t, 4> ack{0, 4, static_cast<std::uint8_t>(wire >> 8),
                                                  static_cast<std::uint8_t>(wire)};
            const bool counts = deviceAckCounts(device);
            io.apply(upload.onDatagram(io.now, from, ack));
            if (counts) {
                lastDeviceAck = block;
            }
            break;
        }
        default: {
            const auto bytes = in.take(in.byte() % 40);
            const bool counts = deviceAckCounts(device && bytes.size() >= 4 && bytes[1] == 4);
            io.apply(upload.onDatagram(io.now, from, bytes));
            if (counts) {
                lastDeviceAck = static_cast<std::int16_t>((bytes[2] << 8) | bytes[3]);
            }
            break;
        }
        }
        const auto phase = upload.phase();
        const bool ended = phase == fw::TftpUpload::Phase::Completed || phase == fw::TftpUpload::Phase::Ended;
        require(ended == (io.ends > 0) || phase == fw::TftpUpload::Phase::Cancelled,
                "the answer says the end exactly when the transfer ends");
        require(io.ends <= 1, "one end");
        require(upload.timeoutCount() <= fw::TftpUpload::kTimeoutLimit + 1, "time-outs end the transfer");
        if (upload.outcome() == fw::TftpUpload::Outcome::Completed) {
            require(io.shortBlockSent, "completion needs the short last block sent");
            require(static_cast<std::size_t>(io.highestBlock) * fw::kTftpBlockSize > image.size(),
                    "completion needs every byte sent");
            require(lastDeviceAck == io.highestBlock, "completion needs the device's ACK of the last block");
        }
    }
    return 0;
}
