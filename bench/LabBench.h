// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every benchmark that builds a namespace lab does first, and the median its figures use.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace fw::bench {

// Namespaces need root: otherwise says SKIPPED, and the caller exits 77 as ctest's skip does. The
// lab runs this build's simulator and programs unless the environment names others.
inline bool readyForLab() {
    if (geteuid() != 0) {
        std::printf("SKIPPED: the benchmark builds network namespaces and needs root\n");
        return false;
    }
    if (qEnvironmentVariableIsEmpty("FERNWICK_SOURCE_DIR")) {
        qputenv("FERNWICK_SOURCE_DIR", FERNWICK_SOURCE_DIR);
    }
    if (qEnvironmentVariableIsEmpty("FERNWICK_BINARY_DIR")) {
        qputenv("FERNWICK_BINARY_DIR", FERNWICK_BINARY_DIR);
    }
    return true;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace fw::bench
