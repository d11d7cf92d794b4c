#include "common/Twips.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(Twips, ConvertWithTheDpi) {
    EXPECT_EQ(twipsToPixels(9480, 96), 632);
    EXPECT_EQ(twipsToPixels(562.5, 96), 38); // a half pixel rounds up
    EXPECT_EQ(twipsToPixels(980, 120), 82);  // 81.67
    EXPECT_EQ(twipsToPixels(4575, 192), 610);
    EXPECT_DOUBLE_EQ(pixelsToTwips(400, 144), 4000);
}

} // namespace
} // namespace fw
