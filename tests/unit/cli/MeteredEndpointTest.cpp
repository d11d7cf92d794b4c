#include "cli/MeteredEndpoint.h"

#include "support/FakeEndpoint.h"
#include "upgrade/core/TftpPackets.h"

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

std::vector<std::uint8_t> ack(int block) {
    return {0, 4, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block)};
}

class Metered : public ::testing::Test {
protected:
    Metered() {
        auto fake = std::make_unique<test::FakeEndpoint>();
        inner = fake.get();
        endpoint = std::make_unique<MeteredEndpoint>(std::move(fake),
                                                     [this](std::uint64_t n) { reports.push_back(n); });
        endpoint->bindToAddress(Ipv4{{10, 0, 0, 1}}, kTftpLocalPort);
    }
    void data(int block, std::size_t payload) {
        const std::vector<std::uint8_t> bytes(payload, 0xAB);
        endpoint->send(buildTftpData(static_cast<std::int16_t>(block), bytes));
    }
    void answer(const std::vector<std::uint8_t>& bytes) {
        inner->deliver(bytes, Ipv4{{10, 0, 0, 2}}, 50000);
        ASSERT_TRUE(endpoint->read().has_value());
    }

    test::FakeEndpoint* inner = nullptr;
    std::unique_ptr<MeteredEndpoint> endpoint;
    std::vector<std::uint64_t> reports;
};

TEST_F(Metered, OnlyTheAcknowledgementOfTheLatestBlockCounts) {
    answer(ack(0)); // the write request's: no data yet
    data(1, 512);
    answer(ack(0)); // a repeat of the old one
    answer(ack(1));
    data(2, 512);
    data(2, 512); // resent after a timeout
    answer(ack(2));
    data(3, 100);
    answer(ack(7));                // a stray one from elsewhere
    answer({0, 4, 0});             // too short to carry a block
    answer({0, 3, 0, 3, 1, 2, 3}); // DATA, not an acknowledgement
    answer(ack(3));
    EXPECT_EQ(reports, (std::vector<std::uint64_t>{512, 1024, 1124}));
    // Everything passed through unchanged.
    ASSERT_EQ(inner->sent.size(), 4u);
    EXPECT_EQ(inner->sent[3].bytes.size(), 104u);
    EXPECT_EQ(endpoint->localPort(), kTftpLocalPort);
}

TEST_F(Metered, AnEmptyImageIsOneEmptyBlock) {
    data(1, 0);
    answer(ack(1));
    EXPECT_EQ(reports, std::vector<std::uint64_t>{0});
}

} // namespace
} // namespace fw::cli
