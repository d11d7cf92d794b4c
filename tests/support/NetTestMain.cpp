// SPDX-License-Identifier: GPL-3.0-or-later
// Main of the net test binaries. They build network namespaces, which needs root; without it the
// binary says so and exits 77, which CTest reports as skipped (never as passed).
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::printf("SKIPPED: net tests create network namespaces and need root\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
