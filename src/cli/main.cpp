// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli: search, Set IP and firmware upgrade from the command line, each command a coroutine
// on the engine, run on this thread.
#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/RolloutReport.h"
#include "engine/Engine.h"
#include "platform/SystemHost.h"
#include "platform/Terminal.h"

#include <cstdio>

namespace {

int run(int argc, char** argv) {
    fw::cli::RolloutReport::initialiseHashing();
    fw::cli::Console console;
    // Arguments, paths and adapter names are UTF-8 from here on, on every system.
    const fw::cli::ParsedCommandLine parsed =
        fw::cli::parseCommandLine(fw::terminal::commandLineArguments(argc, argv));
    switch (parsed.kind) {
    case fw::cli::ParsedCommandLine::Kind::Help:
    case fw::cli::ParsedCommandLine::Kind::Version:
        std::fputs(parsed.text.c_str(), stdout);
        return 0;
    case fw::cli::ParsedCommandLine::Kind::Error:
        console.err(parsed.text);
        return static_cast<int>(fw::cli::ExitStatus::Usage);
    case fw::cli::ParsedCommandLine::Kind::Run:
        break;
    }
    fw::engine::Engine engine;
    fw::SystemHost host;
    fw::cli::CliContext ctx{console, engine.endpoints(), host, {}};
    return static_cast<int>(engine.run(fw::cli::runCommand(ctx, *parsed.command)));
}

} // namespace

int main(int argc, char** argv) {
    const unsigned codePage = fw::terminal::useUtf8Console();
    const int status = run(argc, argv);
    fw::terminal::restoreConsole(codePage);
    return status;
}
