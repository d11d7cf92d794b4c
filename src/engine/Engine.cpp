// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Engine.h"

namespace fw::engine {

Engine::Engine() = default;

Engine::~Engine() {
    stop();
}

void Engine::startThread() {
    if (thread_.joinable()) {
        return;
    }
    work_.emplace(context_.get_executor());
    context_.restart();
    thread_ = std::thread([this] { context_.run(); });
}

void Engine::stop() {
    work_.reset();
    context_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace fw::engine
