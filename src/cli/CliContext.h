// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Console.h"
#include "engine/EndpointFactory.h"
#include "platform/Host.h"

#include <set>
#include <string>

namespace fw::cli {

// What every command runs with. The host (adapters, neighbour flush, the doctor's facts) and the
// sockets come from outside, so the program uses the system's and a test may use fakes.
struct CliContext {
    Console& console;
    engine::EndpointFactory& endpoints;
    Host& host;
    std::set<std::string> portProblemsSaid; // each is said once per run
};

} // namespace fw::cli
