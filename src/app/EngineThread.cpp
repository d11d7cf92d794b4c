// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EngineThread.h"

namespace fw {

EngineThread::EngineThread() : thread_([this] { context_.run(); }) {}

EngineThread::~EngineThread() {
    work_.reset();
    context_.stop();
    thread_.join();
}

} // namespace fw
