// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace fw {

// The desktop's side of the row commands.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens the URL in the user's default browser; not awaited, result not examined.
    virtual void openUrl(const std::string& url) = 0;
};

} // namespace fw
