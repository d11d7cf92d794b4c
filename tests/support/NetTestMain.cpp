// SPDX-License-Identifier: GPL-3.0-or-later
// Main of the net test binaries. They build network namespaces, which needs root; without it the
// binary says so and exits 77, which CTest reports as skipped (never as passed); so does one whose
// tests skipped themselves (GTEST_SKIP).
#include "support/SkipStatus.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::printf("SKIPPED: net tests create network namespaces and need root\n");
        return fw::test::kSkippedStatus;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return fw::test::statusCountingSkips(RUN_ALL_TESTS());
}
