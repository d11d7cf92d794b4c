// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressText.h"

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

TEST(ProgressText, PercentRateAndUnits) {
    EXPECT_EQ(percentOf({0, 0, 0}), 0);
    EXPECT_EQ(percentOf({512, 1000000, 1}), 0);
    EXPECT_EQ(percentOf({999999, 1000000, 1}), 99); // 100 only when all of it is there
    EXPECT_EQ(percentOf({1000000, 1000000, 1}), 100);
    EXPECT_EQ(percentOf({16776703, 16776703, 1}), 100); // no overflow on the largest image
    EXPECT_DOUBLE_EQ(rateOf({1000, 2000, 0}), 0);
    EXPECT_DOUBLE_EQ(rateOf({1000, 2000, 2}), 500);

    const std::pair<std::uint64_t, const char*> bytes[] = {
        {0, "0 B"}, {1023, "1023 B"}, {1024, "1.0 KiB"}, {1536, "1.5 KiB"}, {16776703, "16.0 MiB"}};
    for (const auto& [n, text] : bytes) {
        EXPECT_EQ(formatBytes(n), text);
    }
    const std::pair<double, const char*> etas[] = {{0, "0:00"},       {5.4, "0:05"}, {59.6, "1:00"},
                                                   {3723, "1:02:03"}, {-1, "--:--"}, {1e12, "--:--"}};
    for (const auto& [s, text] : etas) {
        EXPECT_EQ(formatEta(s), text) << s;
    }
}

TEST(ProgressText, BarFitsTheTerminalAndShowsEverything) {
    const UploadProgress half{512000, 1024000, 2, 3, 1}; // 250 KiB/s, 2 s to go, a loss
    const std::string bar = progressBar(half, 79);
    EXPECT_LE(bar.size(), 79u);
    EXPECT_NE(bar.find(" 50%"), std::string::npos) << bar;
    EXPECT_NE(bar.find("500.0 KiB/1000.0 KiB"), std::string::npos) << bar;
    EXPECT_NE(bar.find("250.0 KiB/s"), std::string::npos) << bar;
    EXPECT_NE(bar.find("ETA 0:02  retx 3  t/o 1"), std::string::npos) << bar;
    ASSERT_EQ(bar.front(), '[');
    const std::string inside = bar.substr(1, bar.find(']') - 1);
    EXPECT_EQ(inside.find_first_not_of('#'), inside.size() / 2) << bar;
    EXPECT_EQ(inside.find_first_not_of('.', inside.size() / 2), std::string::npos) << bar;
    for (const int width : {0, 10, 30, 50, 200}) {
        EXPECT_LE(progressBar(half, width).size(), static_cast<std::size_t>(std::max(width, 0))) << width;
    }
    // Before the first acknowledgement nothing is known about the speed.
    EXPECT_NE(progressBar({0, 1000, 0}, 80).find("ETA --:--"), std::string::npos);
    EXPECT_EQ(progressLine(half), "upload 50%: 512000 of 1024000 bytes, 250.0 KiB/s, ETA 0:02");
}

} // namespace
} // namespace fw::cli
