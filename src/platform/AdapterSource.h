// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netif/core/AdapterSelection.h"

namespace fw {

// Rebuilds the table of local adapters (called at every search).
class AdapterSource {
public:
    virtual ~AdapterSource() = default;
    virtual AdapterSelection enumerateAdapters() = 0;
};

} // namespace fw
