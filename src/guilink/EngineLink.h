// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EndpointFactory.h"
#include "engine/Engine.h"

namespace fw {

// The engine as the windows reach it: jobs go to its thread by post(), and the drivers there take
// their sockets from `endpoints` (the engine's own, or a test's fakes on the engine's context).
struct EngineLink {
    engine::Engine& engine;
    engine::EndpointFactory& endpoints;
};

} // namespace fw
