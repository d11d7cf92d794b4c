// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace fw {

// The one filter the open-file dialog for images offers: its name, whose brackets Qt reads the
// pattern from, and the pattern for dialogs that take it apart.
inline constexpr const char* kImageFilterName = "IMG FILE(*.bin)";
inline constexpr const char* kImageFilterPattern = "*.bin";

} // namespace fw
