// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdlib>
#include <string>

namespace fw::test {

inline QString env(const char* name) {
    return qEnvironmentVariable(name);
}

// The wineserver of the test's prefix (FERNWICK_WINEPREFIX) goes before the test, since one left
// in another namespace would hold sockets there, and at its end whatever happened: wine's helper
// processes outlive a program that failed.
struct WineServerStop {
    WineServerStop() { stop(); }
    ~WineServerStop() { stop(); }
    WineServerStop(const WineServerStop&) = delete;
    WineServerStop& operator=(const WineServerStop&) = delete;
    static void stop() {
        (void)!std::system(
            ("WINEPREFIX='" + env("FERNWICK_WINEPREFIX").toStdString() + "' wineserver -k 2>/dev/null")
                .c_str());
    }
};

} // namespace fw::test
