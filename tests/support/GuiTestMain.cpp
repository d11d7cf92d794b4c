// SPDX-License-Identifier: GPL-3.0-or-later
// Main of the GUI test binaries: one QApplication on the offscreen platform, then GoogleTest; a
// skipped test makes the binary report skipped (support/SkipStatus.h).
#include "support/SkipStatus.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return fw::test::statusCountingSkips(RUN_ALL_TESTS());
}
