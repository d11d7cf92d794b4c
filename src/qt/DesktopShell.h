// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Shell.h"

namespace fw {

// The user's desktop: its default browser.
class DesktopShell final : public Shell {
public:
    void openUrl(const std::string& url) override;
};

} // namespace fw
