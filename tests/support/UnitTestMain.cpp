// SPDX-License-Identifier: GPL-3.0-or-later
// Main of a unit test binary that CTest runs whole (test_unit.exe under wine): a skipped test
// makes it report skipped, not passed.
#include "support/SkipStatus.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return fw::test::statusCountingSkips(RUN_ALL_TESTS());
}
