#pragma once

#include "platform/Shell.h"

namespace fw::cli {

// The shell of a program without a desktop: the neighbour flush only. Without the privilege the
// flush fails silently, as it does for the window.
class CliShell final : public Shell {
public:
    void flushNeighbour(const std::string& ip) override;
    void openUrl(const std::string&) override {}
};

} // namespace fw::cli
