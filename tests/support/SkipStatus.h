// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

namespace fw::test {

// CTest sees one status per binary, and 0 counts as passed even when GTEST_SKIP left nothing
// run. A binary that skipped a test and failed none exits 77 instead, which its SKIP_RETURN_CODE
// reports as skipped: "passed" then means every test in it ran.
inline constexpr int kSkippedStatus = 77;

inline int statusCountingSkips(int status) {
    const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
    if (status != 0 || run.skipped_test_count() == 0) {
        return status;
    }
    std::printf("SKIPPED: %d of %d tests skipped (%d passed)\n", run.skipped_test_count(),
                run.test_to_run_count(), run.successful_test_count());
    return kSkippedStatus;
}

} // namespace fw::test
