// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"

namespace fw {

// What an enumeration of the local adapters ended with. StatusError and NoAdapter are fatal:
// the caller shows string 29 or 30 and ends the program.
enum class AdapterOutcome { Ok, StatusError, NoAdapter };

struct AdapterSelection {
    AdapterOutcome outcome = AdapterOutcome::NoAdapter;
    AdapterTable table; // at least one entry when outcome is Ok
    // Every adapter listed, searched on or not, with all its addresses: what this host answers for.
    AdapterTable hostAdapters{};
};

} // namespace fw
