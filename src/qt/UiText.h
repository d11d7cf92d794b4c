// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/StringTable.h"

#include <QString>

namespace fw {

// A string-table text as the widgets take it.
inline QString uiText(Str id) {
    const std::string_view s = loadResString(id);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace fw
