// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Shell.h"

namespace fw::win32 {

// The shell's "open" verb: the user's default browser for a web address.
class Win32Shell final : public Shell {
public:
    void openUrl(const std::string& url) override;
};

} // namespace fw::win32
